// The main window's layout: DPI changes, minimising, dialogs kept on screen; and commands
// whose conditions fail.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "ui_driver.h"

namespace {
using UiWindow = UiTest;

std::vector<int> ColumnWidths(UiApp& app) {
  std::vector<int> widths;
  for (int i = 0; i < 6; ++i) widths.push_back(static_cast<int>(SendMessageW(app.List(), LVM_GETCOLUMNWIDTH, i, 0)));
  return widths;
}

TEST_F(UiWindow, ADpiChangeRescalesTheColumnsAndKeepsTheWindowSize) {
  const std::vector<int> before = ColumnWidths(app);
  RECT window{}, now{}, suggested{0, 0, 10, 10};
  GetWindowRect(app.main, &window);
  const UINT dpi = app.State()->Dpi;
  SendMessageW(app.main, WM_DPICHANGED, MAKEWPARAM(dpi * 2, dpi * 2), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(app.State()->Dpi, dpi * 2);
  const std::vector<int> after = ColumnWidths(app);
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i] * 2);
  GetWindowRect(app.main, &now);
  EXPECT_EQ(now.right - now.left, window.right - window.left);
  SendMessageW(app.main, WM_DPICHANGED, MAKEWPARAM(48, 48), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(app.State()->Dpi, 96u);  // below 96 counts as 96
}

TEST_F(UiWindow, AMinimisedWindowKeepsItsListSize) {
  RECT client{}, list{}, now{};
  GetClientRect(app.main, &client);
  SendMessageW(app.main, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  GetWindowRect(app.List(), &list);
  SendMessageW(app.main, WM_SIZE, SIZE_MINIMIZED, 0);  // what minimising sends: a client of 0 x 0
  GetWindowRect(app.List(), &now);
  EXPECT_EQ(now.right - now.left, list.right - list.left);
  EXPECT_EQ(now.bottom - now.top, list.bottom - list.top);
}

TEST_F(UiWindow, AboutOverAWindowOffTheScreenIsPulledBackIntoTheWorkArea) {
  RECT work{}, r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(app.main, nullptr, work.right - 60, work.bottom - 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  app.Command(CMD_ABOUT);
  HWND about = app.WaitDialog(L"About");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(ItemText(about, IDC_ABOUT_TEXT).substr(0, 26), L"Quillbox\r\nArchive Manager\r");
  EXPECT_FALSE(ItemText(about, IDC_ABOUT_LINK).empty());
  GetWindowRect(about, &r);
  EXPECT_LE(r.right, work.right);
  EXPECT_LE(r.bottom, work.bottom);
  Press(about, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished());
}

TEST_F(UiWindow, CommandsWhoseConditionsFailDoNothing) {
  Open(Fixture("sample.tgz"));
  app.answers.file = Fixture("sample.tar").wstring();
  app.answers.folder = dir.Path("anything").wstring();
  for (UINT command : {CMD_ADD_FILE, CMD_ADD_FOLDER, CMD_ROW_PREPEND, CMD_ROW_MODE_FIRST})  // read-only, nothing selected
    ASSERT_TRUE(app.Run(command));
  Select({0});  // a compressed TAR is not writable
  for (UINT command : {CMD_ROW_TRIM_BASE + 1, CMD_ROW_DELETE}) ASSERT_TRUE(app.Run(command));
  EXPECT_EQ(app.Cell(0, 0), L"alpha.txt");
  EXPECT_EQ(app.RowCount(), 3);
  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  for (UINT command : {CMD_EXTRACT, CMD_TEST}) ASSERT_TRUE(app.Run(command));  // no archive
  EXPECT_EQ(app.answers.file, Fixture("sample.tar").wstring());  // no picker was shown
  EXPECT_EQ(app.answers.folder, dir.Path("anything").wstring());
}
}  // namespace
