// Preferences in the registry, the context menu's states, the keyboard shortcuts, a quit
// from outside, the list's own keys, and the View dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "app/settings.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "ui_driver.h"

namespace {
void SetValue(const wchar_t* name, DWORD value) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, name, REG_DWORD, &value, sizeof value), ERROR_SUCCESS);
}
DWORD Value(const wchar_t* name) {
  DWORD value = 99, size = sizeof value;
  RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

using UiDialogs = UiTest;

TEST_F(UiDialogs, PreferencesAreReadByTheirLowestBitAndSaved) {
  SetValue(L"AnyPath", 2);     // reads as 0
  SetValue(L"BaseFolder", 3);  // reads as 1
  SetValue(L"ZipLevel", 3);    // no such level: normal
  Restart();
  EXPECT_EQ(app.State()->Options.AnyPath, 0u);
  EXPECT_EQ(app.State()->Options.BaseFolder, 1u);
  EXPECT_EQ(app.State()->Options.ZipLevel, kCompressNormal);
  for (int button : {IDCANCEL, IDOK}) {  // Cancel changes nothing
    HWND dialog = app.Ask(CMD_PREFERENCES, L"Preferences");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREF_BASE_FOLDER), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREF_ANY_PATH), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREF_LEVEL_NORMAL), static_cast<UINT>(BST_CHECKED));
    CheckRadioButton(dialog, IDC_PREF_LEVEL_FAST, IDC_PREF_LEVEL_BEST, IDC_PREF_LEVEL_BEST);
    CheckDlgButton(dialog, IDC_PREF_UNICODE, BST_CHECKED);
    CheckDlgButton(dialog, IDC_PREF_HIDDEN, BST_CHECKED);
    CheckDlgButton(dialog, IDC_PREF_BASE_FOLDER, BST_UNCHECKED);
    ASSERT_TRUE(app.Close(dialog, button));
    EXPECT_EQ(app.State()->Options.Unicode, button == IDOK ? 1u : 0u);
    EXPECT_EQ(Value(L"Unicode"), button == IDOK ? 1u : 99u);
    EXPECT_EQ(app.State()->Options.ZipLevel, button == IDOK ? kCompressBest : kCompressNormal);
  }
  EXPECT_EQ(Value(L"ZipLevel"), kCompressBest);
  EXPECT_EQ(Value(L"AnyPath"), 0u);
  EXPECT_EQ(Value(L"BaseFolder"), 0u);
  EXPECT_EQ(Value(L"Hidden"), 1u);
  Restart();
  EXPECT_EQ(app.State()->Options.Unicode, 1u);
  EXPECT_EQ(app.State()->Options.BaseFolder, 0u);
  EXPECT_EQ(app.State()->Options.ZipLevel, kCompressBest);
}

// Opens the context menu through WM_CONTEXTMENU at (x, y), reads the states of the items,
// then closes it with Escape. Returns false when no menu appeared.
bool ContextMenuStates(UiApp& app, int x, int y, std::vector<UINT>* states, POINT* at = nullptr) {
  bool returned = false;
  SendMessageCallbackW(
      app.main, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app.List()), MAKELPARAM(x, y),
      [](HWND, UINT, ULONG_PTR data, LRESULT) { *reinterpret_cast<bool*>(data) = true; },
      reinterpret_cast<ULONG_PTR>(&returned));
  HWND popup = nullptr;
  bool shown = WaitUntil([&] { return (popup = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(popup); }, 1000);
  if (shown) {
    HMENU menu = reinterpret_cast<HMENU>(app.State()->ContextMenu);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) states->push_back(GetMenuState(menu, i, MF_BYPOSITION));
    RECT r{};
    GetWindowRect(popup, &r);
    if (at != nullptr) *at = {r.left, r.top};
    PostMessageW(app.main, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  WaitUntil([&] { return returned; });
  return shown;
}

// Positions: 0 Add, 2 Extract, 3 Extract Here, 4 Extract to, 5 Test, 7 Prefix, 8 Change Mode,
// 10 Delete, 11 Rename, 13 View Header, 14 View Data, 15 View Stored Data.
struct MenuCase { const char* what; const char* archive; std::vector<int> rows, grayed, enabled; };
const MenuCase kMenus[] = {
    {"a zip takes a new name but no mode", "sample.zip", {0}, {8, 10}, {0, 2, 3, 4, 5, 7, 11, 13, 14, 15}},
    {"a compressed tar is read only", "sample.tgz", {0}, {0, 7, 8, 10, 11}, {2, 3, 4, 5, 13, 14, 15}},
    {"two tar rows", "sample.tar", {0, 1}, {10, 11, 13, 14, 15}, {0, 2, 3, 4, 5, 7, 8}},
    {"a tar row that is not the last", "sample.tar", {0}, {10}, {0, 7, 8, 11, 13, 14, 15}},
    {"the last tar member", "sample.tar", {2}, {}, {0, 2, 3, 4, 5, 7, 8, 10, 11, 13, 14, 15}},
};
class UiContextMenu : public UiTest, public testing::WithParamInterface<MenuCase> {};

TEST_P(UiContextMenu, ItemsFollowWritabilitySelectionAndFormat) {
  const MenuCase& c = GetParam();
  Open(Copy(c.archive));
  Select(c.rows);
  // The menu key: below the focused row.
  const int focused = c.rows.back();
  ListView_SetItemState(app.List(), focused, LVIS_FOCUSED, LVIS_FOCUSED);
  std::vector<UINT> states, none;
  POINT at{}, corner{0, 0};
  ASSERT_TRUE(ContextMenuStates(app, -1, -1, &states, &at));
  ASSERT_EQ(states.size(), 16u);
  for (int i : c.grayed) EXPECT_TRUE(states[i] & MF_GRAYED) << "item " << i;
  for (int i : c.enabled) EXPECT_FALSE(states[i] & MF_GRAYED) << "item " << i;
  RECT row{};
  ASSERT_TRUE(ListView_GetItemRect(app.List(), focused, &row, LVIR_LABEL));
  POINT below{row.left, row.bottom};
  ClientToScreen(app.List(), &below);
  EXPECT_EQ(at.x, below.x);
  EXPECT_EQ(at.y, below.y);
  ClientToScreen(app.main, &corner);
  EXPECT_FALSE(ContextMenuStates(app, corner.x + 20, corner.y - 5, &none));  // on the menu bar
}
INSTANTIATE_TEST_SUITE_P(UiDialogs, UiContextMenu, testing::ValuesIn(kMenus), CaseName());

// Sends a key to the list view, with Control held or not, as the keyboard would.
void Key(UiApp& app, WORD key, bool control = true) {
  DWORD self = GetCurrentThreadId();
  AttachThreadInput(self, app.uiThreadId, TRUE);
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = control ? 0x80 : 0;
  SetKeyboardState(keys);
  SendMessageW(app.List(), WM_KEYDOWN, key, 1);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  AttachThreadInput(self, app.uiThreadId, FALSE);
}

// Then a quit from outside becomes an orderly close.
TEST_F(UiDialogs, ShortcutsPostTheirCommandsAndAQuitFromOutsideClosesInOrder) {
  const std::filesystem::path tar = Copy("sample.tar");
  Open(tar);
  Key(app, 'A', false);  // without Control the key does nothing
  Sleep(300);
  EXPECT_EQ(app.State()->Totals.SelectedCount, 0u);
  Key(app, 'A');
  ASSERT_TRUE(WaitUntil([&] { return app.State()->Totals.SelectedCount == 3; }));
  Key(app, 'T');
  HWND progress = app.WaitDialog(L"Testing");
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDCANCEL) == L"Close"; }));
  Press(progress, IDCANCEL);
  ASSERT_TRUE(app.WaitIdle());
  Key(app, VK_F4);  // closes the archive, not the window
  ASSERT_TRUE(WaitUntil([&] { return app.Title() == L"Quillbox"; }));
  EXPECT_TRUE(IsWindow(app.main));
  app.answers.file = tar.wstring();
  Key(app, 'O');
  ASSERT_TRUE(WaitUntil([&] { return app.Title() == L"sample.tar"; }));
  ASSERT_TRUE(app.WaitIdle());
  PostThreadMessageW(app.uiThreadId, WM_QUIT, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.exitCode == 0; }));
  EXPECT_EQ(app.State()->Archive.jobState.load(), kJobClosed);
  EXPECT_EQ(app.State()->Archive.archiveFile, kInvalidFile);
}

// The list without the menus: Enter or a double-click views a member (text as UTF-8,
// anything else in hex), F2 starts the rename in place, and Del deletes only the last
// member, after a question that names it (No keeps it).
TEST_F(UiDialogs, TheListsKeysViewRenameAndDelete) {
  OpenBytes("two.qbx", QbxBytes({{"notes.txt", BytesOf("one\ntwo")}, {"photo.bin", Bytes(40, 0xAB)}}));
  auto key = [&](WORD k) { PostMessageW(app.List(), WM_KEYDOWN, k, 0); };
  auto shut = [&](HWND dialog) { Press(dialog, IDCANCEL), WaitUntil([&] { return !IsWindow(dialog); }); };
  Select({0});
  key(VK_RETURN);
  HWND view = app.WaitDialog(L"View Data UTF-8");
  ASSERT_NE(view, nullptr);
  shut(view);
  Select({1});
  RECT r{};
  ASSERT_TRUE(ListView_GetItemRect(app.List(), 1, &r, LVIR_LABEL));
  PostMessageW(app.List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2));
  view = app.WaitDialog(L"View Data Binary Hex");
  ASSERT_NE(view, nullptr);
  shut(view);
  ASSERT_TRUE(app.WaitIdle());
  Select({0});
  key(VK_F2);
  ASSERT_TRUE(WaitUntil([&] { return app.RenameEdit() != nullptr; }));
  PostMessageW(app.RenameEdit(), WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.RenameEdit() == nullptr; }));
  key(VK_DELETE);  // not the last member: handled, no question comes
  EXPECT_FALSE(WaitUntil([&] { return app.FindDialog(L"Delete Member") != nullptr; }, 500));
  Select({1});
  for (int button : {IDCANCEL, IDOK}) {
    key(VK_DELETE);
    HWND question = app.WaitDialog(L"Delete Member");
    ASSERT_NE(question, nullptr);
    EXPECT_NE(ItemText(question, IDC_MESSAGE).find(L"photo.bin"), std::wstring::npos);
    Press(question, button);
    ASSERT_TRUE(WaitUntil([&] { return app.FindDialog(L"Delete Member") == nullptr; }));
    EXPECT_TRUE(WaitUntil([&] { return app.RowCount() == (button == IDOK ? 1 : 2); }));
  }
}
// ---- The View dialog: the view commands' titles and texts, paging and resizing. The texts
// and titles themselves are the viewer's tests.
class UiViewer : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    OpenBytes("view.qbx", QbxBytes({{"lines.txt", BytesOf("one\ntwo\r\nthree")}, {"pages.bin", Bytes(300000, 'p')}}));
  }
  // Opens the viewer of the row with the view command.
  void OpenView(int row, UINT command, const std::wstring& title) {
    Select({row});
    view = app.Ask(command, title);
    ASSERT_NE(view, nullptr);
  }
  void TearDown() override {
    EXPECT_TRUE(view == nullptr || app.Close(view));
    UiTest::TearDown();
  }
  std::vector<bool> PagingEnabled() {
    std::vector<bool> enabled;
    for (int id : {IDC_VIEW_BACK_1G, IDC_VIEW_BACK_16M, IDC_VIEW_BACK_256K, IDC_VIEW_NEXT_256K, IDC_VIEW_NEXT_16M, IDC_VIEW_NEXT_1G})
      enabled.push_back(IsEnabledItem(view, id));
    return enabled;
  }
  HWND view = nullptr;
};

struct ViewCase { const char* what; UINT command; const wchar_t *title, *textStart; };
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
  OpenView(0, c.command, c.title);
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).substr(0, wcslen(c.textStart)), c.textStart);
  EXPECT_EQ(PagingEnabled(), std::vector<bool>(6, false));
  EXPECT_TRUE(WaitUntil([&] {  // nothing is selected in the edit when it shows
    DWORD start = 1, end = 2;
    SendDlgItemMessageW(view, IDC_VIEW_EDIT, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start == end;
  }, 2000));
}
INSTANTIATE_TEST_SUITE_P(UiViewer, UiView, testing::ValuesIn(kViews), CaseName());

// Two pages, titled and paged to the end (a step past it clipped to the last page); resizing
// keeps the buttons on the bottom edge and gives the rest to the edit.
TEST_F(UiViewer, TwoPagesArePagedAndResizingKeepsTheButtonsAtTheBottom) {
  OpenView(1, 9021, L"View Data Binary Hex [1/2]");
  EXPECT_EQ(PagingEnabled(), (std::vector<bool>{false, false, false, true, true, true}));
  Press(view, IDC_VIEW_NEXT_16M);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(view) == L"View Data Binary Hex [2/2]"; }));
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).substr(0, 14), L"00040000  70 7");
  EXPECT_EQ(PagingEnabled(), (std::vector<bool>{true, true, true, false, false, false}));
  Press(view, IDC_VIEW_BACK_1G);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(view) == L"View Data Binary Hex [1/2]"; }));
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

// An encrypted ZIP member's text shows once the password is given (the edit hides and limits
// what is typed, and has the focus); its stored bytes are one command away, and the password
// does not outlive the viewer.
TEST_F(UiDialogs, AnEncryptedMembersViewAsksThePasswordAndStoredBytesDoNot) {
  Open(Copy("crypt.zip"));
  Select({1});  // numbers.txt: 1 to 40000, one a line
  HWND prompt = app.Ask(CMD_ROW_VIEW_FIRST + 1, L"Enter Password");
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(SendDlgItemMessageW(prompt, IDC_PASSWORD, EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
  EXPECT_EQ(SendDlgItemMessageW(prompt, IDC_PASSWORD, EM_GETLIMITTEXT, 0, 0), 255);
  EXPECT_TRUE(WaitUntil([&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(app.uiThreadId, &info) && info.hwndFocus == GetDlgItem(prompt, IDC_PASSWORD);
  }));
  SetDlgItemTextW(prompt, IDC_PASSWORD, L"open sesame");
  Press(prompt, IDOK);
  HWND view = app.WaitDialog(L"View Data UTF-8");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).substr(0, 12), L"1\r\n2\r\n3\r\n4\r\n");
  ASSERT_TRUE(app.Close(view));
  EXPECT_EQ(app.State()->Password[0], 0);
  view = app.Ask(CMD_ROW_VIEW_STORED, L"View Stored Data");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).substr(0, 10), L"00000000  ");
  EXPECT_EQ(ItemText(view, IDC_VIEW_EDIT).find(L"1\r\n2"), std::wstring::npos);
  ASSERT_TRUE(app.Close(view));
}
}  // namespace
