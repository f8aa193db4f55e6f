#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/dialogs.h"
#include "app/member_list.h"
#include "app/menus.h"
#include "app/resource_ids.h"
#include "app/start_values.h"
#include "app/win32_host.h"
#include "app/window_memory.h"
#include "core/archive.h"

namespace {
constexpr int kFirstStatusPartWidth = 150;  // at 96 dpi

struct Shortcut {
  WORD key;
  UINT command;
};
constexpr Shortcut kShortcuts[] = {
    {'A', CMD_SELECT_ALL}, {'C', CMD_EXTRACT},   {'D', CMD_ADD_FOLDER}, {'I', CMD_ADD_FILE},
    {'N', CMD_NEW_ARCHIVE}, {'O', CMD_OPEN_ARCHIVE}, {'T', CMD_TEST},   {VK_F4, CMD_CLOSE_ARCHIVE},
};

UINT WindowDpi(HWND window) {
  UINT dpi = kBaseDpi;
  HMODULE user = LoadLibraryW(L"User32.dll");
  if (user == nullptr) return dpi;
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  auto getDpi = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
  if (getDpi != nullptr) dpi = getDpi(window);
  FreeLibrary(user);
  return dpi < kBaseDpi ? kBaseDpi : dpi;
}

void SplitStatusBar() {
  MainState* s = App();
  RECT bar{};
  GetWindowRect(Hwnd(s->StatusBar), &bar);
  s->StatusBarHeight = bar.bottom - bar.top;
  int parts[2] = {ScaleForDpi(kFirstStatusPartWidth), -1};
  SendMessageW(Hwnd(s->StatusBar), SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

bool CreateChildren(HWND window) {
  MainState* s = App();
  s->Dpi = WindowDpi(window);
  if (!CreateMemberList(window)) return false;
  HWND bar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window,
                             reinterpret_cast<HMENU>(IDC_STATUS_BAR), AppInstance(), nullptr);
  if (bar == nullptr) return false;
  s->StatusBar = HandleOf(bar);
  SplitStatusBar();
  if (!BuildContextMenu()) return false;
  return s->Archive.memberOffsets != nullptr;
}

void OnCreate(HWND window) {
  App()->MainWindow = HandleOf(window);
  if (CreateChildren(window)) {
    DragAcceptFiles(window, TRUE);
    return;
  }
  ShowResultDialog(window, kResultWindow);
  PostMessageW(window, WM_CLOSE, 0, 0);
}

void OnDestroy() {
  MainState* s = App();
  if (s->Archive.jobState.load() != kJobClosing) return;
  if (s->WorkerThread != kNoThread) ThreadWait(s->WorkerThread);
  CloseArchive(&s->Archive);
  DestroyContextMenu();
  if (s->WorkerThread != kNoThread) ThreadClose(s->WorkerThread);
  s->WorkerThread = kNoThread;
  s->Archive.jobState.store(kJobClosed);
  PostQuitMessage(0);
}

void OnSize(WPARAM kind, LPARAM size) {
  if (kind == SIZE_MINIMIZED) return;
  MainState* s = App();
  int height = HIWORD(size) - s->StatusBarHeight;
  SetWindowPos(Hwnd(s->ListView), nullptr, 0, 0, LOWORD(size), height < 0 ? 0 : height, SWP_NOZORDER);
  SendMessageW(Hwnd(s->StatusBar), WM_SIZE, kind, size);
}

void OnClose(HWND window) {
  MainState* s = App();
  if (!IsIdle()) return;
  if (s->SelectionTimer != 0) KillTimer(window, s->SelectionTimer);
  s->SelectionTimer = 0;
  s->Archive.jobState.store(kJobClosing);
  WindowMemory& memory = Memory();
  memory.placement.length = sizeof memory.placement;
  memory.hasPlacement = GetWindowPlacement(window, &memory.placement) != 0;
  RememberColumns();
  SaveWindowLayout(memory);
  DestroyWindow(window);
}

void OnDpiChanged(WPARAM dpis) {
  MainState* s = App();
  UINT newDpi = HIWORD(dpis) < kBaseDpi ? kBaseDpi : HIWORD(dpis);
  UINT oldDpi = s->Dpi;
  s->Dpi = newDpi;
  RescaleColumns(oldDpi, newDpi);
  SplitStatusBar();
}

void OnKeyDown(HWND window, const NMLVKEYDOWN* key) {
  if (GetKeyState(VK_CONTROL) >= 0) {
    // Posted, so that the list has finished with the key before a dialog or an edit starts.
    if (key->wVKey == VK_F2) PostMessageW(window, WM_COMMAND, CMD_ROW_RENAME, 0);
    if (key->wVKey == VK_DELETE) PostMessageW(window, WM_COMMAND, CMD_DELETE_ASKING, 0);
    if (key->wVKey == VK_RETURN) PostMessageW(window, WM_COMMAND, CMD_VIEW_ACTIVATED, 0);
    return;
  }
  for (const Shortcut& s : kShortcuts)
    if (s.key == key->wVKey) PostMessageW(window, WM_COMMAND, s.command, 0);
}

LRESULT OnListNotify(HWND window, const NMHDR* header) {
  MainState* s = App();
  switch (header->code) {
    case LVN_BEGINLABELEDITW: return IsIdle() && IsWritable() ? FALSE : TRUE;
    case LVN_ENDLABELEDITW: {
      const auto* edit = reinterpret_cast<const NMLVDISPINFOW*>(header);
      RenameEditedRow(window, edit->item.iItem, edit->item.pszText);
      return FALSE;
    }
    case LVN_KEYDOWN: OnKeyDown(window, reinterpret_cast<const NMLVKEYDOWN*>(header)); return 0;
    case LVN_COLUMNCLICK: SortBy(static_cast<uint32_t>(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem)); return 0;
    case LVN_ITEMCHANGED: OnItemChanged(reinterpret_cast<const NMLISTVIEW*>(header)); return 0;
    case LVN_ODSTATECHANGED: OnSelectionRangeChanged(); return 0;
    case LVN_GETDISPINFOW: FillCell(reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header))); return 0;
    case LVN_ODFINDITEMW: return FindRowByName(reinterpret_cast<const NMLVFINDITEMW*>(header));
    case LVN_BEGINDRAG:
      // Posted, so that the list finishes its own handling of the button first.
      if (IsIdle() && HasRows()) PostMessageW(window, WM_COMMAND, CMD_DRAG_OUT, 0);
      return 0;
    case NM_RCLICK: s->CurrentRow = reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem; return 0;
    // Enter comes as a key: Windows would report it as an activation too.
    case NM_DBLCLK: PostMessageW(window, WM_COMMAND, CMD_VIEW_ACTIVATED, 0); return 0;
    default: return 0;
  }
}

// WM_INITMENUPOPUP reaches the window for the context menu's submenus too; only the
// main menu's drop-downs are prepared.
void OnInitMenuPopup(HWND window, HMENU dropDown, LPARAM where) {
  if (HIWORD(where) != 0) return;
  UINT position = LOWORD(where);
  if (GetSubMenu(GetMenu(window), static_cast<int>(position)) == dropDown) PrepareMainMenu(dropDown, position);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_SIZE: OnSize(wParam, lParam); return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) SetFocus(Hwnd(App()->ListView));
      return 0;
    case WM_CLOSE: OnClose(window); return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      return header->idFrom == IDC_LIST_VIEW ? OnListNotify(window, header) : 0;
    }
    case WM_CONTEXTMENU:
      if (ShowContextMenu(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) return 0;
      break;
    case WM_COMMAND: RunCommand(window, LOWORD(wParam)); return 0;
    case WM_DROPFILES:
      AddDroppedItems(window, reinterpret_cast<HDROP>(wParam));
      DragFinish(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_TIMER: RefreshStatus(kStatusSelection); return 0;
    case WM_INITMENUPOPUP: OnInitMenuPopup(window, reinterpret_cast<HMENU>(wParam), lParam); return 0;
    case WM_DPICHANGED: OnDpiChanged(wParam); return 0;
    case kSortListMessage: SortList(); return 0;
    case kRowBatchMessage: TakeRowBatch(*reinterpret_cast<const std::vector<PendingRow>*>(lParam)); return 0;
    case kSetCellMessage: {
      const auto* cell = reinterpret_cast<const CellChange*>(lParam);
      SetRowCell(static_cast<int32_t>(wParam), cell->column, cell->text);
      return 0;
    }
    case kClearRowsMessage: ClearRows(); return 0;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

bool RegisterMainWindowClass() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = AppInstance();
  windowClass.hIcon = LoadIconW(AppInstance(), MAKEINTRESOURCEW(IDI_PROGRAM));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = Wide(App()->ProductName);
  return RegisterClassW(&windowClass) != 0;
}

HWND CreateMainWindow() {
  MainState* s = App();
  HMENU menu = LoadMenuW(AppInstance(), MAKEINTRESOURCEW(IDM_MAIN));
  return CreateWindowExW(0, Wide(s->ProductName), Wide(s->ProductName), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, s->WindowWidth, s->WindowHeight, nullptr, menu, AppInstance(), nullptr);
}
