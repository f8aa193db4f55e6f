// The main window's layout: DPI changes, minimising, dialogs kept on screen; and the
// settings that change what jobs do.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "app/settings.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
class UiWindow : public UiTest {
 protected:
  ScratchDir dir;
};

std::vector<int> ColumnWidths(UiApp& app) {
  std::vector<int> widths;
  for (int i = 0; i < 6; ++i) widths.push_back(static_cast<int>(SendMessageW(app.List(), LVM_GETCOLUMNWIDTH, i, 0)));
  return widths;
}

TEST_F(UiWindow, ADpiChangeRescalesTheColumnsAndKeepsTheWindowSize) {
  UiApp app;
  ASSERT_TRUE(app.Start());
  std::vector<int> before = ColumnWidths(app);
  RECT window{};
  GetWindowRect(app.main, &window);
  RECT suggested{0, 0, 10, 10};
  UINT dpi = app.State()->Dpi;
  SendMessageW(app.main, WM_DPICHANGED, MAKEWPARAM(dpi * 2, dpi * 2), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(app.State()->Dpi, dpi * 2);
  std::vector<int> after = ColumnWidths(app);
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i] * 2);
  RECT now{};
  GetWindowRect(app.main, &now);
  EXPECT_EQ(now.right - now.left, window.right - window.left);
  // Below 96 counts as 96.
  SendMessageW(app.main, WM_DPICHANGED, MAKEWPARAM(48, 48), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(app.State()->Dpi, 96u);
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiWindow, MinimisingAndRestoringKeepsListAndStatusBarInPlace) {
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("sample.tar"))));
  RECT list{}, bar{};
  GetWindowRect(app.List(), &list);
  GetWindowRect(app.StatusBar(), &bar);
  ShowWindow(app.main, SW_MINIMIZE);
  ShowWindow(app.main, SW_RESTORE);
  RECT list2{}, bar2{}, client{};
  GetWindowRect(app.List(), &list2);
  GetWindowRect(app.StatusBar(), &bar2);
  EXPECT_EQ(list2.right - list2.left, list.right - list.left);
  EXPECT_EQ(list2.bottom - list2.top, list.bottom - list.top);
  GetClientRect(app.main, &client);
  EXPECT_EQ(list2.bottom - list2.top, client.bottom - app.State()->StatusBarHeight);
  EXPECT_EQ(bar2.bottom - bar2.top, bar.bottom - bar.top);
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiWindow, ADialogOverAWindowOffTheScreenIsPulledBackIntoTheWorkArea) {
  UiApp app;
  ASSERT_TRUE(app.Start());
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(app.main, nullptr, work.right - 60, work.bottom - 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  app.Command(CMD_ABOUT);
  HWND about = app.WaitDialog(L"About");
  ASSERT_NE(about, nullptr);
  RECT r{};
  GetWindowRect(about, &r);
  EXPECT_LE(r.right, work.right);
  EXPECT_LE(r.bottom, work.bottom);
  Press(about, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiWindow, ExtractTakesOnlyTheSelectedRows) {
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("sample.tar"))));
  app.SelectRows({1});
  ASSERT_TRUE(WaitUntil([&] { return app.State()->Totals.SelectedCount == 1; }));
  Answers().folder = WidePath(dir.Path("out"));
  std::filesystem::create_directories(dir.Path("out"));
  ASSERT_TRUE(app.Run(CMD_ROW_EXTRACT));
  EXPECT_TRUE(std::filesystem::exists(dir.Path("out/numbers.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out/alpha.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out/docs")));
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiWindow, TheBaseFolderSettingPutsTheFoldersNameInFront) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  DWORD on = 1;
  RegSetValueExW(key, L"BaseFolder", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
  RegCloseKey(key);
  std::filesystem::create_directories(dir.Path("tree"));
  WriteBytes(dir.Path("tree/x.txt"), BytesOf("x"));
  UiApp app;
  ASSERT_TRUE(app.Start());
  Answers().newArchive = WidePath(dir.Path("based.qbx"));
  ASSERT_TRUE(app.Run(CMD_NEW_ARCHIVE));
  Answers().folder = WidePath(dir.Path("tree"));
  ASSERT_TRUE(app.Run(CMD_ADD_FOLDER));
  EXPECT_EQ(app.Column(0), std::vector<std::wstring>{L"tree/x.txt"});
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiWindow, CommandsWhoseConditionsFailDoNothing) {
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("sample.zip"))));
  Answers().file = WidePath(Fixture("sample.tar"));
  Answers().folder = WidePath(dir.Path("anything"));
  ASSERT_TRUE(app.Run(CMD_ADD_FILE));    // ZIP is not writable
  ASSERT_TRUE(app.Run(CMD_ADD_FOLDER));
  ASSERT_TRUE(app.Run(CMD_ROW_PREPEND));  // nothing selected
  ASSERT_TRUE(app.Run(CMD_ROW_MODE_FIRST));
  EXPECT_EQ(Answers().file, WidePath(Fixture("sample.tar")));  // no picker was shown
  EXPECT_EQ(Answers().folder, WidePath(dir.Path("anything")));
  EXPECT_EQ(app.RowCount(), 4);
  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  ASSERT_TRUE(app.Run(CMD_EXTRACT));  // no archive
  ASSERT_TRUE(app.Run(CMD_TEST));
  EXPECT_EQ(Answers().folder, WidePath(dir.Path("anything")));
  EXPECT_TRUE(app.Stop());
}
}  // namespace
