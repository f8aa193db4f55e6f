// What Windows users do in the list without the menus: Enter or a double-click views a
// member (text as UTF-8, anything else in hex), F2 renames in place, Del deletes the last
// member after a question that names it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "ui_driver.h"

namespace {
class UiKeys : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    WriteBytes(dir.Path("two.qbx"), QbxBytes({{"notes.txt", BytesOf("one\ntwo")}, {"photo.bin", Bytes(40, 0xAB)}}));
    Open(dir.Path("two.qbx"));
  }
  void Key(WORD key) { PostMessageW(app.List(), WM_KEYDOWN, key, 0); }
  void DoubleClick(int row) {
    RECT r{};
    ASSERT_TRUE(ListView_GetItemRect(app.List(), row, &r, LVIR_LABEL));
    PostMessageW(app.List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2));
  }
};

struct ViewCase {
  const char* what;
  int row;
  bool doubleClick;
  const wchar_t* title;
};
class UiKeysView : public UiKeys, public testing::WithParamInterface<ViewCase> {};

TEST_P(UiKeysView, OpensTheMembersData) {
  const ViewCase& c = GetParam();
  Select({c.row});
  if (c.doubleClick) DoubleClick(c.row);
  else Key(VK_RETURN);
  HWND view = app.WaitDialog(c.title);
  ASSERT_NE(view, nullptr);
  Press(view, IDCANCEL);
  EXPECT_TRUE(app.WaitIdle());
}
INSTANTIATE_TEST_SUITE_P(UiKeys, UiKeysView,
                         testing::Values(ViewCase{"enter on text", 0, false, L"View Data UTF-8"},
                                         ViewCase{"double click on binary", 1, true, L"View Data Binary Hex"}),
                         CaseName());

TEST_F(UiKeys, F2StartsTheRename) {
  Select({0});
  Key(VK_F2);
  ASSERT_TRUE(WaitUntil([&] { return SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0) != 0; }));
  PostMessageW(reinterpret_cast<HWND>(SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0)), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0) == 0; }));
}

// Only the last member can go; No keeps it, Yes deletes it.
TEST_F(UiKeys, DelAsksBeforeDeletingTheLastMember) {
  Select({0});
  Key(VK_DELETE);  // handled while the selection stays: no question comes
  EXPECT_FALSE(WaitUntil([&] { return app.FindDialog(L"Delete Member") != nullptr; }, 500));
  Select({1});
  for (int button : {IDCANCEL, IDOK}) {
    Key(VK_DELETE);
    HWND question = app.WaitDialog(L"Delete Member");
    ASSERT_NE(question, nullptr);
    EXPECT_NE(ItemText(question, IDC_MESSAGE).find(L"photo.bin"), std::wstring::npos);
    Press(question, button);
    ASSERT_TRUE(WaitUntil([&] { return app.FindDialog(L"Delete Member") == nullptr; }));
    EXPECT_TRUE(WaitUntil([&] { return app.RowCount() == (button == IDOK ? 1 : 2); }));
  }
}
}  // namespace
