// Drives the real Quillbox main window, run in-process on a UI thread of its own, the way a
// user would: menu commands, dialogs answered by their buttons, pickers that return paths.
#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/main_state.h"
#include "support/test_files.h"

// What the file and folder pickers return next; an empty path cancels the picker. The app
// reaches it through the host's user pointer, which the Windows job host leaves unused.
struct PickerAnswers {
  std::wstring file, folder, newArchive;
  std::wstring lastFolderStart, lastFolderCaption;  // what the last folder browser was asked
};

struct UiApp {
  std::thread ui;
  DWORD uiThreadId = 0;
  HWND main = nullptr;
  std::atomic<int> exitCode{-1};
  PickerAnswers answers;

  // Starts the program with the command line and waits until it is idle with no dialog up.
  bool Start(const std::wstring& commandLine = L"");
  // Closes the main window and waits for the program's end.
  bool Stop();
  ~UiApp();

  MainState* State() const;
  HWND List() const;

  // Sends a command without waiting for it; Finished() tells when its handling (and so any
  // modal dialog it opened) has returned. Run is Command and WaitFinished.
  void Command(UINT id);
  bool Finished() const { return commandDone; }
  bool WaitFinished(int timeoutMs = 20000);
  bool Run(UINT id, int timeoutMs = 20000);

  // A visible dialog of the UI thread with this title: waited for, or now.
  HWND WaitDialog(const std::wstring& title, int timeoutMs = 10000);
  HWND FindDialog(const std::wstring& title) const;
  bool WaitIdle(int timeoutMs = 20000);
  // The error or confirmation dialog (the one with a message line), waited for.
  HWND WaitMessageDialog(int timeoutMs = 10000);
  // Command and the dialog it opens; a dialog's button pressed and the command's end.
  HWND Ask(UINT id, const std::wstring& title) { return Command(id), WaitDialog(title); }
  bool Close(HWND dialog, int button = IDCANCEL);
  // The message dialog's title after OK dismissed it; empty when none came.
  std::wstring DismissMessage();

  int RowCount() const;
  std::wstring Cell(int row, int column) const;
  std::vector<std::wstring> Column(int column) const;
  std::wstring Heading(int column) const;
  std::wstring StatusPart(int part) const;
  std::wstring Title() const;
  void SelectRows(const std::vector<int>& rows);
  int SelectedRow() const;
  UINT MenuState(UINT position, UINT id) const;
  bool Grayed(UINT position, UINT id) const { return (MenuState(position, id) & MF_GRAYED) != 0; }
  HWND RenameEdit() const;

  bool commandDone = true;
};

// Every UI test starts the program with default settings and pickers that choose nothing,
// and closes it at the end.
class UiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { EXPECT_TRUE(app.Stop()); }
  // Closes the program and starts it again with the command line.
  void Restart(const std::wstring& commandLine = L"");
  // Opens the archive through the Open command's picker.
  void Open(const std::filesystem::path& archive);
  // Writes the bytes to the scratch folder under the name and opens them.
  void OpenBytes(const std::string& name, const Bytes& bytes) { WriteBytes(dir.Path(name), bytes), Open(dir.Path(name)); }
  // Selects the rows and waits until the selection counters have them.
  void Select(const std::vector<int>& rows);
  // A writable copy of a fixture in the scratch folder.
  std::filesystem::path Copy(const std::string& fixture);
  UiApp app;
  ScratchDir dir;
};

// Presses a button of a dialog as a click would.
void Press(HWND dialog, int id);
std::wstring TextOf(HWND window);
std::wstring ItemText(HWND dialog, int id);
bool IsShown(HWND dialog, int id);
bool IsEnabledItem(HWND dialog, int id);
// Waits, pumping the driver's messages, until done() or the time-out.
template <typename F>
bool WaitUntil(F done, int timeoutMs = 10000) {
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    if (done()) return true;
    Sleep(10);
  }
  return false;
}

// Extract shows the program's own dialog from now on (until the next start), not an answer.
void UseExtractDialog();

// The archives tests/ui/make_ui_fixtures.sh made (QBX_UI_FIXTURES).
std::filesystem::path Fixture(const std::string& name);
