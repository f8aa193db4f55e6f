// Brings Quillbox into the states scripts/screenshot takes pictures of: the main window
// with rows and a selection, a paused progress dialog, the View dialog, Preferences, About,
// the Extract dialog, the extracted data of a ZIP member and the File menu with the recent
// archives. Before each picture it prints "SHOT name" and waits for a line on its input.
// Usage: quillbox_screens.exe TAR ZIP (the TAR with a big member first and numbers.txt, the
// ZIP with numbers.txt deflated)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "app/resource_ids.h"
#include "ui_driver.h"

namespace {
bool Shot(const char* name) {
  std::printf("SHOT %s\n", name);
  std::fflush(stdout);
  char line[16];
  return std::fgets(line, sizeof line, stdin) != nullptr;
}

bool Paused(HWND progress) { return WaitUntil([&] { return ItemText(progress, IDOK) == L"&Continue"; }); }

// Test of the whole archive, paused; run in short bursts until the dialog shows its first figures.
bool TakeProgressShot(UiApp& app) {
  app.Run(CMD_DESELECT_ALL);
  HWND progress = app.Ask(CMD_TEST, L"Testing");
  if (progress == nullptr) return false;
  Press(progress, IDOK);
  Paused(progress);
  for (int burst = 0; burst < 100 && app.State()->Archive.jobState.load() == kJobPaused; ++burst) {
    if (!ItemText(progress, IDC_ELAPSED).empty() && SendDlgItemMessageW(progress, IDC_PROGRESS, PBM_GETPOS, 0, 0) > 0)
      break;
    Press(progress, IDOK);  // continue
    Sleep(20);
    Press(progress, IDOK);  // pause
    Paused(progress);
    Sleep(300);
  }
  bool ok = Shot("progress");
  Press(progress, IDOK);
  WaitUntil([&] { return ItemText(progress, IDCANCEL) == L"Close"; }, 60000);
  return app.Close(progress) && ok;
}

// A dialog of the main window, pictured and then closed with its button; a view dialog of
// numbers.txt alone.
bool TakeDialogShot(UiApp& app, UINT command, const wchar_t* title, const char* name, bool ofNumbers = false) {
  if (ofNumbers) {
    app.Run(CMD_DESELECT_ALL);
    for (int row = 0; row < app.RowCount(); ++row)
      if (app.Cell(row, 0) == L"numbers.txt") app.SelectRows({row});
    WaitUntil([&] { return app.State()->Totals.SelectedCount == 1; });
  }
  HWND dialog = app.Ask(command, title);
  if (dialog == nullptr) return false;
  Sleep(300);
  bool ok = Shot(name);
  return app.Close(dialog) && ok;
}

// The File menu dropped down, with the archives opened before it.
bool TakeRecentShot(UiApp& app) {
  auto popup = [] { HWND menu = FindWindowW(L"#32768", nullptr); return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr; };
  PostMessageW(app.main, WM_SYSCOMMAND, SC_KEYMENU, 'f');
  bool shown = WaitUntil([&] { return popup() != nullptr; }, 3000);
  Sleep(300);
  bool ok = shown && Shot("recent");
  PostMessageW(app.main, WM_CANCELMODE, 0, 0);
  if (HWND menu = FindWindowW(L"#32768", nullptr)) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  WaitUntil([&] { return popup() == nullptr; }, 3000);
  return ok;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quillbox_screens.exe TAR ZIP\n");
    return 2;
  }
  wchar_t archive[MAX_PATH] = {}, zip[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, argv[1], -1, archive, MAX_PATH);
  MultiByteToWideChar(CP_ACP, 0, argv[2], -1, zip, MAX_PATH);
  UiApp app;
  if (!app.Start(archive)) return 1;
  app.Run(CMD_SORT_NAME);
  app.SelectRows({1, 2});
  WaitUntil([&] { return app.StatusPart(1).find(L"selected") != std::wstring::npos; });
  Sleep(300);
  bool ok = Shot("main") && TakeProgressShot(app) &&
            TakeDialogShot(app, CMD_ROW_VIEW_FIRST + 4, L"View Data Binary Hex", "view", true) &&
            TakeDialogShot(app, CMD_PREFERENCES, L"Preferences", "preferences") &&
            TakeDialogShot(app, CMD_ABOUT, L"About", "about");
  UseExtractDialog();
  ok = ok && TakeDialogShot(app, CMD_EXTRACT, L"Extract", "extract");
  // The ZIP: its member's text as it extracts, then the recent archives (the TAR and it).
  app.answers.file = zip;
  ok = ok && app.Run(CMD_OPEN_ARCHIVE) && app.WaitIdle() &&
       TakeDialogShot(app, CMD_ROW_VIEW_FIRST + 1, L"View Data UTF-8", "view-extracted", true) && TakeRecentShot(app);
  return app.Stop() && ok ? 0 : 1;
}
