#include "ui_driver.h"

#include <commctrl.h>

#include <atomic>
#include <cstdlib>

#include "app/app_state.h"
#include "app/pickers.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/startup.h"

namespace {
constexpr int kReadCellChars = 1024;  // past the longest names the tests list (over 300)

PickerAnswers& Answers() { return *static_cast<PickerAnswers*>(App()->HostUser); }

bool Take(std::wstring* answer, char16_t* path) {
  if (answer->empty()) return false;
  size_t n = answer->size() < kPickerPathChars - 1 ? answer->size() : kPickerPathChars - 1;
  for (size_t i = 0; i < n; ++i) path[i] = static_cast<char16_t>((*answer)[i]);
  path[n] = 0;
  answer->clear();
  return true;
}

bool PickFile(HWND, const wchar_t*, char16_t* path, const wchar_t*) { return Take(&Answers().file, path); }
bool PickNew(HWND, char16_t* path) { return Take(&Answers().newArchive, path); }
bool PickFolder(char16_t* path, const wchar_t* caption) {
  Answers().lastFolderStart = reinterpret_cast<const wchar_t*>(path);
  Answers().lastFolderCaption = caption;
  return Take(&Answers().folder, path);
}
bool Browse(FolderRequest* request) { return PickFolder(request->path, request->caption); }
// The Extract dialog as a user who types the answered folder and presses OK.
bool PickExtract(HWND, char16_t* path) { return PickFolder(path, L"Extract"); }
constexpr PathPickers kTestPickers = {PickFile, Browse, PickNew, PickExtract};
// The program's own Extract dialog, its Browse answered as above.
bool SystemExtract(HWND owner, char16_t* path) { return SystemPickers()->pickExtractFolder(owner, path); }
constexpr PathPickers kTestPickersWithExtractDialog = {PickFile, Browse, PickNew, SystemExtract};

struct Search { const wchar_t* className; const std::wstring* title; HWND found; int childId; };

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (lstrcmpW(name, search->className) != 0 || !IsWindowVisible(window)) return TRUE;
  if (search->title != nullptr && TextOf(window) != *search->title) return TRUE;
  if (search->childId != 0 && GetDlgItem(window, search->childId) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindThreadWindow(DWORD thread, const wchar_t* className, const std::wstring* title, int childId = 0) {
  Search search{className, title, nullptr, childId};
  EnumThreadWindows(thread, MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void CALLBACK CommandReturned(HWND, UINT, ULONG_PTR data, LRESULT) { *reinterpret_cast<bool*>(data) = true; }
}  // namespace

void UiTest::SetUp() {
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(app.Start());
}

void UiTest::Restart(const std::wstring& commandLine) { ASSERT_TRUE(app.Stop() && app.Start(commandLine)); }

void UiTest::Open(const std::filesystem::path& archive) {
  app.answers.file = archive.wstring();
  ASSERT_TRUE(app.Run(CMD_OPEN_ARCHIVE));
  ASSERT_TRUE(app.WaitIdle());
}

void UiTest::Select(const std::vector<int>& rows) {
  app.SelectRows(rows);
  ASSERT_TRUE(WaitUntil([&] { return app.State()->Totals.SelectedCount == rows.size(); }));
}

std::filesystem::path UiTest::Copy(const std::string& fixture) {
  std::filesystem::copy_file(Fixture(fixture), dir.Path(fixture));
  return dir.Path(fixture);
}

bool UiApp::Start(const std::wstring& commandLine) {
  ReplacePickers(&kTestPickers);
  std::wstring line = commandLine;
  std::atomic<DWORD> thread{0};
  exitCode = -1;
  answers = PickerAnswers{};
  ui = std::thread([this, line, &thread] {
    thread.store(GetCurrentThreadId());
    exitCode = RunQuillbox(GetModuleHandleW(nullptr), line.c_str());
  });
  WaitUntil([&] { return thread.load() != 0; });
  uiThreadId = thread.load();
  bool up = WaitUntil([&] { return (main = FindThreadWindow(uiThreadId, L"Quillbox", nullptr)) != nullptr; });
  App()->HostUser = &answers;
  // A path on the command line is opened by a job before the message loop starts.
  if (up && !commandLine.empty()) up = WaitUntil([] { return App()->DialogToken != 0; });
  return up && WaitIdle();
}

bool UiApp::Stop() {
  if (!ui.joinable()) return true;
  PostMessageW(main, WM_CLOSE, 0, 0);
  bool ended = WaitUntil([&] { return exitCode != -1; }, 20000);
  if (ended) ui.join();
  return ended;
}

UiApp::~UiApp() { if (ui.joinable() && !Stop()) ui.detach(); }
MainState* UiApp::State() const { return App(); }
HWND UiApp::List() const { return Hwnd(App()->ListView); }

void UiApp::Command(UINT id) {
  commandDone = false;
  SendMessageCallbackW(main, WM_COMMAND, id, 0, CommandReturned, reinterpret_cast<ULONG_PTR>(&commandDone));
}

bool UiApp::WaitFinished(int timeoutMs) { return WaitUntil([&] { return commandDone; }, timeoutMs); }
bool UiApp::Run(UINT id, int timeoutMs) { return Command(id), WaitFinished(timeoutMs); }
HWND UiApp::FindDialog(const std::wstring& title) const { return FindThreadWindow(uiThreadId, L"#32770", &title); }

HWND UiApp::WaitDialog(const std::wstring& title, int timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindDialog(title)) != nullptr; }, timeoutMs);
  return found;
}

HWND UiApp::WaitMessageDialog(int timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindThreadWindow(uiThreadId, L"#32770", nullptr, IDC_MESSAGE)) != nullptr; }, timeoutMs);
  return found;
}

bool UiApp::Close(HWND dialog, int button) { return Press(dialog, button), WaitFinished(); }

std::wstring UiApp::DismissMessage() {
  HWND message = WaitMessageDialog();
  if (message == nullptr) return L"";
  std::wstring title = TextOf(message);
  Press(message, IDOK);
  return title;
}

bool UiApp::WaitIdle(int timeoutMs) {
  return WaitUntil([&] { return App()->Archive.jobState.load() == kJobIdle && App()->ProgressDialog == 0; }, timeoutMs);
}

int UiApp::RowCount() const { return ListView_GetItemCount(List()); }

std::wstring UiApp::Cell(int row, int column) const {
  wchar_t text[kReadCellChars] = {};
  ListView_GetItemText(List(), row, column, text, kReadCellChars);
  return text;
}

std::vector<std::wstring> UiApp::Column(int column) const {
  std::vector<std::wstring> cells;
  for (int row = 0; row < RowCount(); ++row) cells.push_back(Cell(row, column));
  return cells;
}

std::wstring UiApp::Heading(int column) const {
  wchar_t text[64] = {};
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT;
  c.pszText = text;
  c.cchTextMax = 64;
  SendMessageW(List(), LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
  return text;
}

std::wstring UiApp::StatusPart(int part) const {
  wchar_t text[256] = {};
  SendMessageW(Hwnd(App()->StatusBar), SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
  return text;
}

std::wstring UiApp::Title() const { return TextOf(main); }

void UiApp::SelectRows(const std::vector<int>& rows) {
  ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
  for (int row : rows) ListView_SetItemState(List(), row, LVIS_SELECTED, LVIS_SELECTED);
}

int UiApp::SelectedRow() const { return ListView_GetNextItem(List(), -1, LVNI_SELECTED); }

UINT UiApp::MenuState(UINT position, UINT id) const {
  HMENU dropDown = GetSubMenu(GetMenu(main), static_cast<int>(position));
  SendMessageW(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(dropDown), position);
  return GetMenuState(dropDown, id, MF_BYCOMMAND);
}

HWND UiApp::RenameEdit() const { return reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETEDITCONTROL, 0, 0)); }

void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  return GetWindowTextW(window, text, 512), text;
}

std::wstring ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }
bool IsShown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool IsEnabledItem(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

std::filesystem::path Fixture(const std::string& name) {
  const char* folder = std::getenv("QBX_UI_FIXTURES");
  return std::filesystem::path(folder != nullptr ? folder : "") / name;
}

void UseExtractDialog() { ReplacePickers(&kTestPickersWithExtractDialog); }
