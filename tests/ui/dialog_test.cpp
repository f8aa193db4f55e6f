// Preferences in the registry, the message for a code, the context menu's states, the
// keyboard shortcuts, and what Windows users do in the list without the menus: Enter or a
// double-click views a member (text as UTF-8, anything else in hex), F2 renames in place,
// Del deletes the last member after a question that names it.
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
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
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
    app.Command(CMD_PREFERENCES);
    HWND dialog = app.WaitDialog(L"Preferences");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREF_BASE_FOLDER), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREF_ANY_PATH), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREF_LEVEL_NORMAL), static_cast<UINT>(BST_CHECKED));
    CheckRadioButton(dialog, IDC_PREF_LEVEL_FAST, IDC_PREF_LEVEL_BEST, IDC_PREF_LEVEL_BEST);
    CheckDlgButton(dialog, IDC_PREF_UNICODE, BST_CHECKED);
    CheckDlgButton(dialog, IDC_PREF_HIDDEN, BST_CHECKED);
    CheckDlgButton(dialog, IDC_PREF_BASE_FOLDER, BST_UNCHECKED);
    Press(dialog, button);
    ASSERT_TRUE(app.WaitFinished());
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

TEST_F(UiDialogs, ShortcutsPostTheirCommands) {
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
}

TEST_F(UiDialogs, AQuitFromOutsideBecomesAnOrderlyClose) {
  Open(Fixture("sample.tar"));
  PostThreadMessageW(app.uiThreadId, WM_QUIT, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.exitCode == 0; }));
  EXPECT_EQ(app.State()->Archive.jobState.load(), kJobClosed);
  EXPECT_EQ(app.State()->Archive.archiveFile, kInvalidFile);
}

// ---- The list without the menus.

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
