// The main window's layout: what start-up takes from the command line and the screen size,
// DPI changes, minimising, dialogs kept on screen; commands whose conditions fail; and what
// the window keeps from one run to the next.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/resource_ids.h"
#include "app/start_values.h"
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

// ---- What start-up takes from the command line and the screen size.

std::u16string PathOf(const std::wstring& arguments) {
  char16_t out[260];
  CommandLinePath(arguments.c_str(), out);
  return out;
}

TEST(StartValues, TheCommandLineIsOnePath) {
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'x');
  const std::pair<std::wstring, std::u16string> cases[] = {
      {L"", u""},
      {L"C:\\a b\\c.tar", u"C:\\a b\\c.tar"},
      {L"\"C:\\a b\\c.tar\"", u"C:\\a b\\c.tar"},
      {L"\"C:\\a b\\c.tar\" --flag d.zip", u"C:\\a b\\c.tar"},
      {L"C:\\x.zip\"tail", u"C:\\x.zip"},
      {longPath, std::u16string(longPath.begin(), longPath.begin() + 259)},
      {L"\"" + longPath + L"\"", std::u16string(longPath.begin(), longPath.begin() + 259)},
  };
  for (const auto& [arguments, path] : cases) EXPECT_EQ(PathOf(arguments), path);
}

TEST(StartValues, TheWindowTakesTheScreensSmallerSideWithinLimits) {
  struct Case { int32_t screenWidth, screenHeight; uint32_t dpi; int32_t width, height; } cases[] = {
      {1920, 1080, 96, 1080, 548}, {800, 600, 96, 600, 304}, {3840, 2160, 96, 1920, 975},
      {640, 480, 96, 512, 260},    {480, 1000, 96, 512, 260}, {2000, 2000, 96, 1920, 975},
      // 150 %: wide enough for every column (1365 pixels), within the screen.
      {1920, 1080, 144, 1620, 822}, {1280, 720, 144, 1080, 547}, {3840, 2160, 144, 2880, 1462},
      {640, 480, 144, 640, 390},
  };
  for (const Case& c : cases) {
    WindowSize size = InitialWindowSize(c.screenWidth, c.screenHeight, c.dpi);
    EXPECT_EQ(size.width, c.width) << c.screenWidth << "x" << c.screenHeight;
    EXPECT_EQ(size.height, c.height) << c.screenWidth << "x" << c.screenHeight;
  }
}

// What the window keeps from one run to the next: the last archives in the File menu (a
// missing one leaves it when chosen), its place and size, the column widths, the sort order.
class UiMemory : public UiTest {
 protected:
  // The File menu's recent items, as the menu shows them when it opens.
  std::vector<std::wstring> RecentItems() {
    std::vector<std::wstring> items;
    app.MenuState(0, CMD_OPEN_ARCHIVE);
    HMENU file = GetSubMenu(GetMenu(app.main), 0);
    for (UINT id = CMD_RECENT_FIRST; id <= CMD_RECENT_LAST; ++id) {
      wchar_t text[MAX_PATH + 8] = {};
      if (GetMenuStringW(file, id, text, MAX_PATH + 8, MF_BYCOMMAND) > 0) items.push_back(text);
    }
    return items;
  }
};

TEST_F(UiMemory, TheLastArchivesComeBackNewestFirst) {
  const std::filesystem::path tar = Copy("sample.tar"), zip = Copy("sample.zip");
  EXPECT_TRUE(RecentItems().empty());
  Open(tar);
  Open(zip);
  Open(tar);
  Restart();
  EXPECT_EQ(RecentItems(), (std::vector<std::wstring>{L"&1 " + tar.wstring(), L"&2 " + zip.wstring()}));
  ASSERT_TRUE(app.Run(CMD_RECENT_FIRST + 1));
  ASSERT_TRUE(app.WaitIdle());
  EXPECT_EQ(app.Title(), L"sample.zip");
  // Gone from the disk: chosen, it says so and leaves the list.
  std::filesystem::remove(tar);
  app.Command(CMD_RECENT_FIRST + 1);
  HWND message = app.WaitMessageDialog();
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(TextOf(message), L"Open Error");
  Press(message, IDOK);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(RecentItems(), (std::vector<std::wstring>{L"&1 " + zip.wstring()}));
}

TEST_F(UiMemory, PlaceColumnsAndSortComeBack) {
  SetWindowPos(app.main, nullptr, 40, 30, 900, 500, SWP_NOZORDER | SWP_NOACTIVATE);
  ListView_SetColumnWidth(app.List(), 0, 210);
  ASSERT_TRUE(app.Run(CMD_SORT_NAME + 3));  // size
  RECT before{};
  GetWindowRect(app.main, &before);
  Restart();
  RECT after{};
  GetWindowRect(app.main, &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  EXPECT_EQ(ListView_GetColumnWidth(app.List(), 0), 210);
  EXPECT_EQ(app.MenuState(2, CMD_SORT_NAME + 3) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
}
}  // namespace
