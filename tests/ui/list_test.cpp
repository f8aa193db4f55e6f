// The member list: sorting by every column, the Sort menu's check marks, selection
// tracking and the status bar's texts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
using Names = std::vector<std::wstring>;

class UiList : public UiTest {
 protected:
  // Three QBX members with distinct names, times and sizes, in this archive order.
  void SetUp() override {
    UiTest::SetUp();
    WriteBytes(dir.Path("three.qbx"), QbxBytes({{"b.txt", Bytes(1000, 'b'), 132000000000000000ULL, 0x20},
                                                {"A.md", Bytes(500, 'a'), 133000000000000000ULL, 0x21},
                                                {"c.bin", Bytes(3000, 'c'), 131000000000000000ULL, 0x22}}));
    Open(dir.Path("three.qbx"));
  }
  void ClickHeading(int column) {
    NMLISTVIEW click{};
    click.hdr = {app.List(), IDC_LIST_VIEW, static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(app.main, WM_NOTIFY, IDC_LIST_VIEW, reinterpret_cast<LPARAM>(&click));
  }
  UINT CheckedSortItem() {
    for (UINT id = CMD_SORT_NAME; id <= CMD_SORT_UNSORTED; ++id)
      if (app.MenuState(2, id) & MF_CHECKED) return id;
    return 0;
  }
};

Names Reversed(const Names& names) { return Names(names.rbegin(), names.rend()); }

// Each sort twice gives the order and then its reverse, from the menu or a column's heading;
// the last column's heading sorts too, with no menu item to check.
TEST_F(UiList, SortsFromTheMenuAndTheHeadings) {
  const std::pair<UINT, Names> cases[] = {
      {CMD_SORT_NAME, {L"A.md", L"b.txt", L"c.bin"}},
      {CMD_SORT_NAME + 1, {L"A.md", L"b.txt", L"c.bin"}},  // newest first
      {CMD_SORT_NAME + 3, {L"c.bin", L"b.txt", L"A.md"}},  // largest first
      {CMD_SORT_NAME + 4, {L"c.bin", L"b.txt", L"A.md"}},
      {CMD_SORT_UNSORTED, {L"b.txt", L"A.md", L"c.bin"}},  // archive order
  };
  EXPECT_EQ(CheckedSortItem(), static_cast<UINT>(CMD_SORT_UNSORTED));
  for (const auto& [command, order] : cases) {
    ASSERT_TRUE(app.Run(command));
    EXPECT_EQ(app.Column(0), order) << command;
    EXPECT_EQ(CheckedSortItem(), command);
    ASSERT_TRUE(app.Run(command));
    EXPECT_EQ(app.Column(0), Reversed(order)) << command;
  }
  // Type: the cells themselves must come in order, A to Z and then Z to A.
  ASSERT_TRUE(app.Run(CMD_SORT_NAME + 2));
  const Names types = app.Column(2);
  for (size_t i = 1; i < types.size(); ++i) EXPECT_LE(_wcsicmp(types[i - 1].c_str(), types[i].c_str()), 0);
  ASSERT_TRUE(app.Run(CMD_SORT_NAME + 2));
  EXPECT_EQ(app.Column(2), Reversed(types));
  ClickHeading(3);
  EXPECT_EQ(app.Column(0), (Names{L"c.bin", L"b.txt", L"A.md"}));
  ClickHeading(5);
  EXPECT_EQ(CheckedSortItem(), 0u);
  const Names last = app.Column(5);
  ASSERT_NE(last.front(), last.back());
  for (size_t i = 1; i < last.size(); ++i) EXPECT_GE(last[i - 1], last[i]);  // descending
  ClickHeading(5);
  EXPECT_EQ(app.Column(5), Reversed(last));
}

TEST_F(UiList, SelectionCountsAndSizesReachTheStatusBar) {
  EXPECT_EQ(app.StatusPart(0), L" 3 items");
  EXPECT_EQ(app.StatusPart(1), L"4 KB");
  EXPECT_EQ(app.MenuState(1, CMD_DESELECT_ALL) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  app.SelectRows({0, 2});  // b.txt and c.bin
  ASSERT_TRUE(WaitUntil([&] { return app.StatusPart(1) == L"2 selected  4 KB"; }));
  EXPECT_EQ(app.MenuState(1, CMD_DESELECT_ALL) & MF_GRAYED, 0u);
  ASSERT_TRUE(app.Run(CMD_INVERT_SELECTION));
  EXPECT_EQ(app.StatusPart(1), L"1 selected  500 bytes");
  EXPECT_EQ(app.State()->CurrentRow, 1);
  ASSERT_TRUE(app.Run(CMD_SELECT_ALL));
  EXPECT_EQ(app.StatusPart(1), L"3 selected  4 KB");
  EXPECT_EQ(app.MenuState(1, CMD_SELECT_ALL) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  ASSERT_TRUE(app.Run(CMD_DESELECT_ALL));
  EXPECT_EQ(app.StatusPart(1), L"4 KB");
  EXPECT_EQ(app.SelectedRow(), -1);
}

// The status texts of differing sizes: ListTexts.StatusBarParts.
TEST_F(UiList, SelectAllTakesBothSizesOfEveryRow) {
  Open(Fixture("sample.zip"));
  ASSERT_TRUE(app.Run(CMD_SELECT_ALL));
  const ListTotals& t = app.State()->Totals;
  EXPECT_NE(t.RowSize, t.RowExtractedSize);
  EXPECT_EQ(t.SelectedSize, t.RowSize);
  EXPECT_EQ(t.SelectedExtractedSize, t.RowExtractedSize);
}

// Typing in the list goes to the next row whose name starts with what was typed, whatever
// the case; the list asks the program, which holds the rows.
TEST_F(UiList, TypingFindsARowByTheStartOfItsName) {
  auto find = [&](const wchar_t* text, int start, UINT flags) {
    LVFINDINFOW f{};
    f.flags = flags;
    f.psz = text;
    return static_cast<int>(SendMessageW(app.List(), LVM_FINDITEMW, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(&f)));
  };
  EXPECT_EQ(find(L"a", -1, LVFI_STRING | LVFI_PARTIAL), 1);
  EXPECT_EQ(find(L"C.B", -1, LVFI_STRING | LVFI_PARTIAL), 2);
  EXPECT_EQ(find(L"b.txt", -1, LVFI_STRING), 0);
  EXPECT_EQ(find(L"b.tx", -1, LVFI_STRING), -1);  // a whole name, not its start
  EXPECT_EQ(find(L"zz", -1, LVFI_STRING | LVFI_PARTIAL), -1);
}
}  // namespace
