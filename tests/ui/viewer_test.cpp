// The View dialog: the view commands' titles and texts, paging and resizing. The texts and
// titles themselves are the viewer's tests.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "ui_driver.h"

namespace {
class UiViewer : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    WriteBytes(dir.Path("view.qbx"), QbxBytes({{"lines.txt", BytesOf("one\ntwo\r\nthree")}, {"pages.bin", Bytes(300000, 'p')}}));
    Open(dir.Path("view.qbx"));
  }
  // Opens the viewer of the row with the view command; returns the dialog.
  HWND OpenView(int row, UINT command, const std::wstring& title) {
    Select({row});
    app.Command(command);
    return app.WaitDialog(title);
  }
  void TearDown() override {
    if (view != nullptr) Press(view, IDCANCEL);
    EXPECT_TRUE(app.WaitFinished());
    UiTest::TearDown();
  }
  HWND view = nullptr;
};

std::vector<bool> PagingEnabled(HWND view) {
  std::vector<bool> enabled;
  for (int id : {IDC_VIEW_BACK_1G, IDC_VIEW_BACK_16M, IDC_VIEW_BACK_256K, IDC_VIEW_NEXT_256K, IDC_VIEW_NEXT_16M,
                 IDC_VIEW_NEXT_1G})
    enabled.push_back(IsEnabledItem(view, id));
  return enabled;
}

struct ViewCase { const char* what; UINT command; const wchar_t* title; const wchar_t* textStart; };
const ViewCase kViews[] = {
    {"ansi", 9017, L"View Data ANSI", L"one\r\ntwo\r\nthree"},
    {"utf8", 9018, L"View Data UTF-8", L"one\r\ntwo\r\nthree"},
    {"hex", 9021, L"View Data Binary Hex", L"00000000  6F 6E 65 0A 74 77 6F 0D  0A 74 68 72 65 65"},
    {"text", 9022, L"View Data Binary Text", L"00000000  one two  three"},
    {"header hex", 9023, L"View Header Hex", L"00000000  58 42 51 4B 20 00 00 00  6C 69 6E 65"},
    {"header text", 9024, L"View Header Text", L"00000000  XBQK    lines.txt"},
};
class UiView : public UiViewer, public testing::WithParamInterface<ViewCase> {};

TEST_P(UiView, HasItsTitleAndTextAndOnePage) {
  const ViewCase& c = GetParam();
  view = OpenView(0, c.command, c.title);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).substr(0, wcslen(c.textStart)), c.textStart);
  EXPECT_EQ(PagingEnabled(view), std::vector<bool>(6, false));
  EXPECT_TRUE(WaitUntil([&] {  // nothing is selected in the edit when it shows
    DWORD start = 1, end = 2;
    SendDlgItemMessageW(view, IDC_VIEW_EDIT, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start == end;
  }, 2000));
}
INSTANTIATE_TEST_SUITE_P(UiViewer, UiView, testing::ValuesIn(kViews), CaseName());

// An encrypted ZIP member's text shows once the password is given; its stored bytes are one
// command away, and the password does not outlive the viewer.
using UiExtractedView = UiTest;
TEST_F(UiExtractedView, AsksThePasswordThenShowsTheTextAndTheStoredBytes) {
  Open(Copy("crypt.zip"));
  Select({1});  // numbers.txt: 1 to 40000, one a line
  app.Command(CMD_ROW_VIEW_FIRST + 1);
  HWND prompt = app.WaitDialog(L"Enter Password");
  ASSERT_NE(prompt, nullptr);
  SetDlgItemTextW(prompt, IDC_PASSWORD, L"open sesame");
  Press(prompt, IDOK);
  HWND view = app.WaitDialog(L"View Data UTF-8");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).substr(0, 12), L"1\r\n2\r\n3\r\n4\r\n");
  Press(view, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.State()->Password[0], 0);

  app.Command(CMD_ROW_VIEW_STORED);
  view = app.WaitDialog(L"View Stored Data");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).substr(0, 10), L"00000000  ");
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).find(L"1\r\n2"), std::wstring::npos);
  Press(view, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished());
}

TEST_F(UiViewer, TwoPagesAreTitledAndPagedToTheEnd) {
  view = OpenView(1, 9021, L"View Data Binary Hex [1/2]");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(PagingEnabled(view), (std::vector<bool>{false, false, false, true, true, true}));
  Press(view, IDC_VIEW_NEXT_16M);  // clipped to the last page
  ASSERT_TRUE(WaitUntil([&] { return TextOf(view) == L"View Data Binary Hex [2/2]"; }));
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).substr(0, 14), L"00040000  70 7");
  EXPECT_EQ(PagingEnabled(view), (std::vector<bool>{true, true, true, false, false, false}));
  Press(view, IDC_VIEW_BACK_1G);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(view) == L"View Data Binary Hex [1/2]"; }));
}

TEST_F(UiViewer, ResizingKeepsTheButtonsOnTheBottomEdge) {
  view = OpenView(0, 9017, L"View Data ANSI");
  ASSERT_NE(view, nullptr);
  SetWindowPos(view, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
  RECT client{}, first{}, last{}, edit{};
  GetClientRect(view, &client);
  GetWindowRect(GetDlgItem(view, IDC_VIEW_BACK_1G), &first);
  GetWindowRect(GetDlgItem(view, IDC_VIEW_NEXT_1G), &last);
  GetWindowRect(GetDlgItem(view, IDC_VIEW_EDIT), &edit);
  POINT firstAt{first.left, first.bottom}, lastAt{last.right, last.bottom};
  ScreenToClient(view, &firstAt);
  ScreenToClient(view, &lastAt);
  EXPECT_EQ(firstAt.x, 0);
  EXPECT_EQ(firstAt.y, client.bottom);
  EXPECT_EQ(lastAt.x, client.right);
  EXPECT_EQ(edit.right - edit.left, client.right);
  EXPECT_EQ(edit.bottom - edit.top, client.bottom - (first.bottom - first.top));
}
}  // namespace
