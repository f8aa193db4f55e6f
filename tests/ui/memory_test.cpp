// What the window keeps from one run to the next: the last archives in the File menu (a
// missing one leaves it when chosen), its place and size, the column widths, the sort order.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "ui_driver.h"

namespace {
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
