#include "app/startup.h"

#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/drag_out.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/start_values.h"
#include "app/win32_host.h"
#include "app/window_memory.h"
#include "jobs/jobs.h"
#include "formats/formats.h"

namespace {
constexpr DWORD kAllControlClasses = 0xFF;

// Fetches and dispatches until a quit arrives once the window has closed; an earlier quit
// (not from the window's own end) becomes an orderly close request.
int RunMessageLoop() {
  MainState* s = App();
  MSG message{};
  for (;;) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
      continue;
    }
    if (got < 0 || s->Archive.jobState.load() == kJobClosed) break;
    PostMessageW(Hwnd(s->MainWindow), WM_CLOSE, 0, 0);
  }
  return static_cast<int>(message.wParam);
}

bool InitCommonControls() {
  INITCOMMONCONTROLSEX controls{sizeof controls, kAllControlClasses};
  return InitCommonControlsEx(&controls) != FALSE;
}

// The dpi windows open with, before there is one to ask.
uint32_t ScreenDpi() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return kBaseDpi;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi < static_cast<int>(kBaseDpi) ? kBaseDpi : static_cast<uint32_t>(dpi);
}

// The place and size the window had when it last closed, when they are still on a screen;
// returns how to show it.
int PlaceAsRemembered(HWND window) {
  const WindowMemory& memory = Memory();
  if (!memory.hasPlacement || MonitorFromRect(&memory.placement.rcNormalPosition, MONITOR_DEFAULTTONULL) == nullptr)
    return SW_SHOWNORMAL;
  WINDOWPLACEMENT placement = memory.placement;
  placement.showCmd = SW_HIDE;
  SetWindowPlacement(window, &placement);
  return memory.placement.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
}

int RunWindow(HINSTANCE instance) {
  MainState* s = App();
  if (!InitCommonControls() || !RegisterMainWindowClass()) return 0;
  HWND window = CreateMainWindow();
  if (window == nullptr) {
    UnregisterClassW(Wide(s->ProductName), instance);
    return 0;
  }
  ShowWindow(window, PlaceAsRemembered(window));
  if (s->JobPath[0] != 0 && s->Archive.jobState.load() == kJobIdle) OpenArchiveJob(window);
  int code = RunMessageLoop();
  UnregisterClassW(Wide(s->ProductName), instance);
  return code;
}
}  // namespace

int RunQuillbox(HINSTANCE instance, const wchar_t* commandLine) {
  MainState* s = App();
  if (!InitMainState(s, AllFormatTable(), Win32JobHost(), nullptr)) return 0;
  s->Instance = reinterpret_cast<WindowHandle>(instance);
  CommandLinePath(commandLine, s->JobPath);
  ReadSettings(&s->Options);
  ReadWindowMemory(&Memory());
  if (Memory().hasSort) {
    s->SortColumn = Memory().sortColumn;
    s->SortDirection = Memory().sortDirection;
  }
  WindowSize size = InitialWindowSize(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), ScreenDpi());
  s->WindowWidth = size.width;
  s->WindowHeight = size.height;
  int code = 0;
  // OLE, not only COM: dragging members out needs its drag loop.
  if (SUCCEEDED(OleInitialize(nullptr))) {
    code = RunWindow(instance);
    EndDragOut();
    OleUninitialize();
  }
  FreeMainState(s);
  return code;
}
