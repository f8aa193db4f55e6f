// Preferences in the registry, the About dialog, the context menu's states and the
// keyboard shortcuts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "app/settings.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
class UiDialogs : public UiTest {
 protected:
  void SetValue(const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
  DWORD Value(const wchar_t* name) {
    DWORD value = 99, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
      return 99;
    return value;
  }
  std::filesystem::path TarCopy() {
    std::filesystem::copy_file(Fixture("sample.tar"), dir.Path("copy.tar"));
    return dir.Path("copy.tar");
  }
  ScratchDir dir;
};

TEST_F(UiDialogs, PreferencesAreReadByTheirLowestBitAndSaved) {
  SetValue(L"AnyPath", 2);     // reads as 0
  SetValue(L"BaseFolder", 3);  // reads as 1
  UiApp app;
  ASSERT_TRUE(app.Start());
  EXPECT_EQ(app.State()->Options.AnyPath, 0u);
  EXPECT_EQ(app.State()->Options.BaseFolder, 1u);

  app.Command(CMD_PREFERENCES);
  HWND dialog = app.WaitDialog(L"Preferences");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREF_BASE_FOLDER), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREF_ANY_PATH), static_cast<UINT>(BST_UNCHECKED));
  CheckDlgButton(dialog, IDC_PREF_UNICODE, BST_CHECKED);
  Press(dialog, IDCANCEL);  // Cancel changes nothing
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.State()->Options.Unicode, 0u);
  EXPECT_EQ(Value(L"Unicode"), 99u);

  app.Command(CMD_PREFERENCES);
  dialog = app.WaitDialog(L"Preferences");
  ASSERT_NE(dialog, nullptr);
  CheckDlgButton(dialog, IDC_PREF_UNICODE, BST_CHECKED);
  CheckDlgButton(dialog, IDC_PREF_HIDDEN, BST_CHECKED);
  CheckDlgButton(dialog, IDC_PREF_BASE_FOLDER, BST_UNCHECKED);
  Press(dialog, IDOK);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(Value(L"AnyPath"), 0u);
  EXPECT_EQ(Value(L"BaseFolder"), 0u);
  EXPECT_EQ(Value(L"Hidden"), 1u);
  EXPECT_EQ(Value(L"Unicode"), 1u);
  EXPECT_EQ(app.State()->Options.Hidden, 1u);
  EXPECT_TRUE(app.Stop());

  UiApp again;
  ASSERT_TRUE(again.Start());
  EXPECT_EQ(again.State()->Options.Unicode, 1u);
  EXPECT_EQ(again.State()->Options.BaseFolder, 0u);
  EXPECT_TRUE(again.Stop());
}

TEST_F(UiDialogs, AboutShowsTheProductAndClosesWithOk) {
  UiApp app;
  ASSERT_TRUE(app.Start());
  app.Command(CMD_ABOUT);
  HWND about = app.WaitDialog(L"About");
  ASSERT_NE(about, nullptr);
  std::wstring text = ItemText(about, IDC_ABOUT_TEXT);
  EXPECT_EQ(text.substr(0, 26), L"Quillbox\r\nArchive Manager\r");
  EXPECT_FALSE(ItemText(about, IDC_ABOUT_LINK).empty());
  Press(about, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_TRUE(app.Stop());
}

// Opens the context menu through WM_CONTEXTMENU at (x, y), reads the states of the items,
// then closes it with Escape. Returns false when no menu appeared.
bool ContextMenuStates(UiApp& app, int x, int y, std::vector<UINT>* states, POINT* at = nullptr) {
  app.Command(0);  // any command the window ignores keeps Finished() meaningful
  app.WaitFinished();
  bool returned = false;
  SendMessageCallbackW(
      app.main, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app.List()), MAKELPARAM(x, y),
      [](HWND, UINT, ULONG_PTR data, LRESULT) { *reinterpret_cast<bool*>(data) = true; },
      reinterpret_cast<ULONG_PTR>(&returned));
  HWND popup = nullptr;
  bool shown = WaitUntil([&] { return (popup = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(popup); },
                         1000);
  if (shown) {
    HMENU menu = reinterpret_cast<HMENU>(app.State()->ContextMenu);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) states->push_back(GetMenuState(menu, i, MF_BYPOSITION));
    if (at != nullptr) {
      RECT r{};
      GetWindowRect(popup, &r);
      *at = {r.left, r.top};
    }
    PostMessageW(app.main, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  WaitUntil([&] { return returned; });
  return shown;
}

bool Grayed(UINT state) { return (state & MF_GRAYED) != 0; }

TEST_F(UiDialogs, ContextMenuItemsFollowWritabilitySelectionAndFormat) {
  // Positions: 0 Add, 2 Extract, 3 Test, 5 Prefix, 6 Change Mode, 8 Delete, 9 Rename,
  // 11 View Header, 12 View Data.
  struct Case {
    bool tar;
    std::vector<int> rows;
    std::vector<int> grayed;
    std::vector<int> enabled;
  };
  const Case cases[] = {
      {false, {0}, {0, 5, 6, 8, 9}, {2, 3, 11, 12}},         // ZIP, one row: read-only
      {true, {0, 1}, {8, 9, 11, 12}, {0, 2, 3, 5, 6}},       // TAR, two rows
      {true, {0}, {8}, {0, 5, 6, 9, 11, 12}},                // TAR, a row that is not the last
      {true, {2}, {}, {0, 2, 3, 5, 6, 8, 9, 11, 12}},        // TAR, the last member
  };
  std::filesystem::path tar = TarCopy();
  for (const Case& c : cases) {
    UiApp app;
    ASSERT_TRUE(app.Start(WidePath(c.tar ? tar : Fixture("sample.zip"))));
    app.SelectRows(c.rows);
    ASSERT_TRUE(WaitUntil([&] { return app.State()->Totals.SelectedCount == c.rows.size(); }));
    std::vector<UINT> states;
    ASSERT_TRUE(ContextMenuStates(app, -1, -1, &states));
    ASSERT_EQ(states.size(), 13u);
    for (int i : c.grayed) EXPECT_TRUE(Grayed(states[i])) << "item " << i;
    for (int i : c.enabled) EXPECT_FALSE(Grayed(states[i])) << "item " << i;
    EXPECT_TRUE(app.Stop());
  }
}

TEST_F(UiDialogs, ContextMenuKeyOpensAtTheListCornerAndTheMenuBarDeclines) {
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("sample.tar"))));
  std::vector<UINT> states;
  POINT at{};
  ASSERT_TRUE(ContextMenuStates(app, -1, -1, &states, &at));
  POINT corner{0, 0};
  ClientToScreen(app.main, &corner);
  EXPECT_EQ(at.x, corner.x);
  EXPECT_EQ(at.y, corner.y);

  RECT window{};
  GetWindowRect(app.main, &window);
  states.clear();
  EXPECT_FALSE(ContextMenuStates(app, corner.x + 20, corner.y - 5, &states));  // on the menu bar
  EXPECT_TRUE(app.Stop());
}

// Sends a key to the list view with Control held, as the keyboard would.
void ControlKey(UiApp& app, WORD key, bool control = true) {
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
  std::filesystem::path tar = TarCopy();
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(tar)));
  ControlKey(app, 'A', false);  // without Control the key does nothing
  Sleep(300);
  EXPECT_EQ(app.State()->Totals.SelectedCount, 0u);
  ControlKey(app, 'A');
  ASSERT_TRUE(WaitUntil([&] { return app.State()->Totals.SelectedCount == 3; }));

  ControlKey(app, 'T');
  HWND progress = app.WaitDialog(L"Testing");
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDCANCEL) == L"Close"; }));
  Press(progress, IDCANCEL);
  ASSERT_TRUE(app.WaitIdle());

  ControlKey(app, VK_F4);  // closes the archive, not the window
  ASSERT_TRUE(WaitUntil([&] { return app.Title() == L"Quillbox"; }));
  EXPECT_TRUE(IsWindow(app.main));

  Answers().file = WidePath(tar);
  ControlKey(app, 'O');
  ASSERT_TRUE(WaitUntil([&] { return app.Title() == L"copy.tar"; }));
  ASSERT_TRUE(app.WaitIdle());
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiDialogs, AQuitFromOutsideBecomesAnOrderlyClose) {
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("sample.tar"))));
  PostThreadMessageW(app.uiThreadId, WM_QUIT, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.exitCode == 0; }));
  EXPECT_EQ(app.State()->Archive.jobState.load(), 2u);  // Closed
  EXPECT_EQ(app.State()->Archive.archiveFile, kInvalidFile);
}
}  // namespace
