#include "app/menus.h"

#include "app/app_state.h"
#include "app/commands.h"
#include "app/member_list.h"
#include "app/resource_ids.h"
#include "app/window_memory.h"

namespace {
constexpr uint32_t kTrimItems = 12;
constexpr uint32_t kModeItems = 10;
constexpr const wchar_t* kModeLabels[kModeItems] = {L"777", L"775", L"755", L"750", L"700",
                                                    L"666", L"664", L"644", L"640", L"600"};
struct Labelled {
  UINT id;
  const wchar_t* label;
};
constexpr Labelled kViewDataItems[] = {
    {9017, L"Text (ANSI)"},    {9018, L"Text (UTF-8)"},  {9019, L"Text (UTF-16L)"},
    {9020, L"Text (UTF-16B)"}, {9021, L"Binary (Hex)"}, {9022, L"Binary (Text)"},
};
constexpr Labelled kViewHeaderItems[] = {{9023, L"Hex"}, {9024, L"Text"}};

UINT Grayed(bool enabled) { return static_cast<UINT>(MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED)); }

void EnableSubmenu(WindowHandle submenu, bool enabled) {
  if (submenu != 0) EnableMenuItem(Hmenu(App()->ContextMenu), static_cast<UINT>(submenu), Grayed(enabled));
}

HMENU MenuOf(const Labelled* items, size_t count) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (size_t i = 0; i < count; ++i) AppendMenuW(menu, MF_STRING, items[i].id, items[i].label);
  return menu;
}

HMENU TrimMenu() {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (uint32_t n = 1; n <= kTrimItems; ++n) {
    wchar_t label[4] = {};
    wsprintfW(label, L"%u", n);
    AppendMenuW(menu, MF_STRING, CMD_ROW_TRIM_BASE + n, label);
  }
  return menu;
}

HMENU ModeMenu() {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (uint32_t i = 0; i < kModeItems; ++i) AppendMenuW(menu, MF_STRING, CMD_ROW_MODE_FIRST + i, kModeLabels[i]);
  return menu;
}

// Appends a submenu when it exists.
void AppendSubmenu(HMENU top, HMENU sub, const wchar_t* label) {
  if (sub != nullptr) AppendMenuW(top, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), label);
}
}  // namespace

bool BuildContextMenu() {
  MainState* s = App();
  DestroyContextMenu();
  HMENU top = CreatePopupMenu();
  if (top == nullptr) return false;
  AppendMenuW(top, MF_STRING, CMD_ROW_ADD_FILE, L"&Add/Insert File...");
  AppendMenuW(top, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(top, MF_STRING, CMD_ROW_EXTRACT, L"&Extract/Copy...");
  AppendMenuW(top, MF_STRING, CMD_ROW_EXTRACT_HERE, L"Extract &Here");
  AppendMenuW(top, MF_STRING, CMD_ROW_EXTRACT_TO, L"Extract to...");
  AppendMenuW(top, MF_STRING, CMD_ROW_TEST, L"&Test");

  HMENU prefix = CreatePopupMenu();
  HMENU trim = prefix != nullptr ? TrimMenu() : nullptr;
  if (prefix != nullptr) {
    AppendMenuW(prefix, MF_STRING, CMD_ROW_PREPEND, L"&Prepend...");
    AppendSubmenu(prefix, trim, L"&Trim Characters");
  }
  HMENU mode = ModeMenu();
  if (prefix != nullptr || mode != nullptr) AppendMenuW(top, MF_SEPARATOR, 0, nullptr);
  AppendSubmenu(top, prefix, L"&Prefix");
  AppendSubmenu(top, mode, L"Change &Mode");
  AppendMenuW(top, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(top, MF_STRING, CMD_ROW_DELETE, L"&Delete");
  AppendMenuW(top, MF_STRING, CMD_ROW_RENAME, L"&Rename");

  HMENU header = MenuOf(kViewHeaderItems, std::size(kViewHeaderItems));
  HMENU data = MenuOf(kViewDataItems, std::size(kViewDataItems));
  if (header != nullptr || data != nullptr) AppendMenuW(top, MF_SEPARATOR, 0, nullptr);
  AppendSubmenu(top, header, L"View &Header");
  AppendSubmenu(top, data, L"&View Data");
  // What the archive holds, compressed or encrypted, beside what it extracts to.
  AppendMenuW(top, MF_STRING, CMD_ROW_VIEW_STORED, L"View &Stored Data");

  s->ContextMenu = HandleOf(top);
  s->PrefixMenu = HandleOf(prefix);
  s->TrimMenu = HandleOf(trim);
  s->ModeMenu = HandleOf(mode);
  s->ViewHeaderMenu = HandleOf(header);
  s->ViewDataMenu = HandleOf(data);
  return true;
}

void DestroyContextMenu() {
  MainState* s = App();
  // Destroying the top level destroys the submenus attached to it.
  if (s->ContextMenu != 0) DestroyMenu(Hmenu(s->ContextMenu));
  s->ContextMenu = s->PrefixMenu = s->TrimMenu = s->ModeMenu = s->ViewHeaderMenu = s->ViewDataMenu = 0;
}

void PrepareContextMenu() {
  MainState* s = App();
  HMENU menu = Hmenu(s->ContextMenu);
  bool writable = IsWritable();
  bool any = s->Totals.SelectedCount != 0, one = s->Totals.SelectedCount == 1;
  EnableMenuItem(menu, CMD_ROW_ADD_FILE, Grayed(writable));
  EnableMenuItem(menu, CMD_ROW_EXTRACT, Grayed(HasRows()));
  EnableMenuItem(menu, CMD_ROW_TEST, Grayed(HasRows()));
  EnableMenuItem(menu, CMD_ROW_EXTRACT_HERE, Grayed(HasRows()));
  const std::wstring to = L"Extract &to \"" + ExtractFolderName() + L"\\\"";
  ModifyMenuW(menu, CMD_ROW_EXTRACT_TO, MF_BYCOMMAND | MF_STRING, CMD_ROW_EXTRACT_TO, to.c_str());
  EnableMenuItem(menu, CMD_ROW_EXTRACT_TO, Grayed(HasRows()));
  EnableSubmenu(s->PrefixMenu, any && writable);
  EnableSubmenu(s->ModeMenu, any && writable && IsTar());
  EnableMenuItem(menu, CMD_ROW_DELETE, Grayed(one && writable && s->Totals.CurrentMember == s->Totals.LastMemberIndex));
  EnableMenuItem(menu, CMD_ROW_RENAME, Grayed(one && writable));
  EnableSubmenu(s->ViewDataMenu, one);
  EnableMenuItem(menu, CMD_ROW_VIEW_STORED, Grayed(one));
  EnableSubmenu(s->ViewHeaderMenu, one);
}

bool ShowContextMenu(HWND window, int x, int y) {
  POINT at{x, y};
  if (x >= 0 && y >= 0) {
    POINT client = at;
    if (ScreenToClient(window, &client) && client.y < 0) return false;
  } else {
    // From the keyboard: below the focused row, which becomes the current one.
    HWND list = Hwnd(App()->ListView);
    const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    RECT row{};
    if (focused >= 0 && ListView_GetItemRect(list, focused, &row, LVIR_LABEL)) {
      App()->CurrentRow = focused;
      at = {row.left, row.bottom};
      ClientToScreen(list, &at);
    } else {
      at = {0, 0};
      ClientToScreen(window, &at);
    }
  }
  RefreshCurrentMember();
  PrepareContextMenu();
  TrackPopupMenu(Hmenu(App()->ContextMenu), 0, at.x, at.y, 0, window, nullptr);
  return true;
}

namespace {
// "&1 C:\\path\\a.tar": an ampersand in the path is doubled to show as itself.
std::wstring RecentItemText(size_t index, const std::wstring& path) {
  std::wstring text = L"&" + std::to_wstring(index + 1) + L" ";
  for (wchar_t c : path) {
    if (c == L'&') text += L'&';
    text += c;
  }
  return text;
}

// The last archives in front of Preferences, and a separator behind them.
void ShowRecentArchives(HMENU file) {
  for (UINT id = CMD_RECENT_FIRST; id <= CMD_RECENT_SEPARATOR; ++id) DeleteMenu(file, id, MF_BYCOMMAND);
  const std::vector<std::wstring>& recent = Memory().recent;
  int at = 0;
  while (at < GetMenuItemCount(file) && GetMenuItemID(file, at) != CMD_PREFERENCES) ++at;
  if (recent.empty() || at == GetMenuItemCount(file)) return;
  for (size_t i = 0; i < recent.size() && i < kRecentArchives; ++i)
    InsertMenuW(file, static_cast<UINT>(at++), MF_BYPOSITION | MF_STRING, CMD_RECENT_FIRST + i,
                RecentItemText(i, recent[i]).c_str());
  InsertMenuW(file, static_cast<UINT>(at), MF_BYPOSITION | MF_SEPARATOR, CMD_RECENT_SEPARATOR, nullptr);
}
}  // namespace

void PrepareMainMenu(HMENU dropDown, UINT position) {
  MainState* s = App();
  const ListTotals& t = s->Totals;
  switch (position) {
    case 0:
      EnableMenuItem(dropDown, CMD_CLOSE_ARCHIVE, Grayed(HasArchive()));
      EnableMenuItem(dropDown, CMD_OPEN_OUTER, Grayed(s->Archive.format == kFormatTarGz));
      EnableMenuItem(dropDown, CMD_REVERT_ARCHIVE, Grayed(IsWritable() && HasAdditions() && HasRows()));
      EnableMenuItem(dropDown, CMD_ADD_FILE, Grayed(IsWritable()));
      EnableMenuItem(dropDown, CMD_ADD_FOLDER, Grayed(IsWritable()));
      EnableMenuItem(dropDown, CMD_EXTRACT, Grayed(HasRows()));
      EnableMenuItem(dropDown, CMD_TEST, Grayed(HasRows()));
      ShowRecentArchives(dropDown);
      break;
    case 1:
      EnableMenuItem(dropDown, CMD_SELECT_ALL, Grayed(HasRows() && t.SelectedCount != t.RowCount));
      EnableMenuItem(dropDown, CMD_DESELECT_ALL, Grayed(HasRows() && t.SelectedCount != 0));
      EnableMenuItem(dropDown, CMD_INVERT_SELECTION, Grayed(HasRows()));
      break;
    case 2:
      for (UINT id = CMD_SORT_NAME; id <= CMD_SORT_UNSORTED; ++id) {
        uint32_t column = id == CMD_SORT_UNSORTED ? kUnsorted : id - CMD_SORT_NAME;
        CheckMenuItem(dropDown, id, static_cast<UINT>(MF_BYCOMMAND | (column == s->SortColumn ? MF_CHECKED : MF_UNCHECKED)));
      }
      break;
    default:
      break;
  }
}
