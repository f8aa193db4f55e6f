#include "app/view_dialog.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/member_list.h"
#include "app/resource_ids.h"
#include "jobs/job_host.h"
#include "jobs/list_columns.h"
#include "jobs/view_title.h"
#include "viewer/dump.h"
#include "viewer/member_fetch.h"
#include "viewer/view_mode.h"

namespace {
constexpr int kEditMargin = 6;
constexpr int kWideMainWindow = 1250;  // at 96 dpi
constexpr uint32_t kFirstPaintDone = 1;

struct PageButton {
  int id;
  int64_t delta;
};
// Left to right: three back from the left edge, three forward ending at the right edge.
constexpr PageButton kPageButtons[] = {
    {IDC_VIEW_BACK_1G, -4096}, {IDC_VIEW_BACK_16M, -64}, {IDC_VIEW_BACK_256K, -1},
    {IDC_VIEW_NEXT_256K, 1},   {IDC_VIEW_NEXT_16M, 64},  {IDC_VIEW_NEXT_1G, 4096},
};
constexpr size_t kBackButtons = 3;

// What the open viewer works on besides the view fields of the record.
struct ViewSession {
  uint32_t member;
  int64_t storedSize;
  uint32_t pageCount;
  SIZE button;
};
ViewSession gView;

void EnablePaging(HWND dialog, uint32_t page, uint32_t pageCount) {
  for (size_t i = 0; i < std::size(kPageButtons); ++i) {
    bool back = i < kBackButtons;
    EnableWindow(GetDlgItem(dialog, kPageButtons[i].id), back ? page != 0 : page + 1 < pageCount);
  }
  if (pageCount < 2) return;
  if (page == 0) PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_VIEW_NEXT_256K)), TRUE);
  if (page + 1 == pageCount)
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_VIEW_BACK_256K)), TRUE);
}

// An encrypted member's data need the password: asked for until it fits or is refused.
ResultCode FetchAskingPassword(HWND dialog, uint32_t page, PageBuffer* buffer) {
  MainState* s = App();
  for (;;) {
    PrepareMemberView(&s->Archive, gView.storedSize);
    const ResultCode code = FetchView(&s->Archive, gView.member, s->ViewKind, page, buffer);
    if (code != kResultPassword) return code;
    char16_t name[kMemberNameChars] = {};
    ReadCell(s->CurrentRow, kColumnName, name, kMemberNameChars);
    if (AskPassword(dialog, Wide(name)) < kAnswerDo) return kResultCancelled;
  }
}

void RenderView(HWND dialog, int64_t delta) {
  MainState* s = App();
  uint32_t page = MoveViewPage(s->ViewPage, delta, gView.pageCount);
  SetWindowTextW(dialog, Wide(ViewTitle(s->ViewKind, page, gView.pageCount).c_str()));
  PageBuffer buffer;
  ResultCode code = FetchAskingPassword(dialog, page, &buffer);
  if (code != kResultOk) {
    if (code != kResultCancelled) ShowResultDialog(dialog, code);
    return;
  }
  std::u16string text = ConvertView(s->ViewKind, buffer, page, s->ViewWidth);
  SetDlgItemTextW(dialog, IDC_VIEW_EDIT, Wide(text.c_str()));
  s->ViewPage = page;
  EnablePaging(dialog, page, gView.pageCount);
}

void Layout(HWND dialog, int width, int height) {
  int top = height - gView.button.cy;
  int w = gView.button.cx;
  for (size_t i = 0; i < std::size(kPageButtons); ++i) {
    int left = i < kBackButtons ? static_cast<int>(i) * w : width - static_cast<int>(std::size(kPageButtons) - i) * w;
    SetWindowPos(GetDlgItem(dialog, kPageButtons[i].id), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  SetWindowPos(GetDlgItem(dialog, IDC_VIEW_EDIT), nullptr, 0, 0, width, std::max(0, top), SWP_NOZORDER);
}

void SizeToMainWindow(HWND dialog) {
  RECT main{};
  GetWindowRect(Hwnd(App()->MainWindow), &main);
  int width = std::max<int>((main.right - main.left) * 12 / 13, GetSystemMetrics(SM_CXSCREEN) / 2);
  int height = std::max<int>((main.bottom - main.top) * 5 / 6, GetSystemMetrics(SM_CYSCREEN) / 2);
  SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void OnInit(HWND dialog, uint32_t kind) {
  MainState* s = App();
  RECT main{}, button{};
  GetWindowRect(Hwnd(s->MainWindow), &main);
  GetWindowRect(GetDlgItem(dialog, IDC_VIEW_BACK_1G), &button);
  gView = {s->Totals.CurrentMember, static_cast<int64_t>(s->Totals.SelectedSize), 0,
           {button.right - button.left, button.bottom - button.top}};
  // Pages of what the member extracts to, or of what the archive stores.
  const uint64_t pagedSize = ShowsExtractedData(kind) ? s->Totals.SelectedExtractedSize : s->Totals.SelectedSize;
  gView.pageCount = ViewPageCount(kind, static_cast<int64_t>(pagedSize));
  s->ViewKind = kind;
  s->ViewPage = 0;
  s->ViewFlags = 0;
  s->ViewWidth = main.right - main.left > ScaleForDpi(kWideMainWindow) ? kTextDumpWide : kTextDumpNarrow;
  SizeToMainWindow(dialog);
  SendDlgItemMessageW(dialog, IDC_VIEW_EDIT, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                      MAKELPARAM(kEditMargin, kEditMargin));
  SendDlgItemMessageW(dialog, IDC_VIEW_EDIT, EM_SETLIMITTEXT, 0, 0);
  RenderView(dialog, 0);
  // Shown only with its first page in place.
  ShowWindow(dialog, SW_SHOW);
  CenterOverParent(dialog, GetParent(dialog));
}

INT_PTR CALLBACK ViewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  MainState* s = App();
  switch (message) {
    case WM_INITDIALOG: OnInit(dialog, static_cast<uint32_t>(lParam)); return TRUE;
    case WM_SIZE: Layout(dialog, LOWORD(lParam), HIWORD(lParam)); return TRUE;
    case WM_PAINT:
      // The dialog selects all of the edit's text when it gets the focus; show it unselected.
      if ((s->ViewFlags & kFirstPaintDone) == 0) {
        s->ViewFlags |= kFirstPaintDone;
        SendDlgItemMessageW(dialog, IDC_VIEW_EDIT, EM_SETSEL, 0, 0);
      }
      return FALSE;
    case WM_COMMAND: {
      WORD id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      for (const PageButton& b : kPageButtons)
        if (b.id == id) RenderView(dialog, b.delta);
      return TRUE;
    }
    default: return FALSE;
  }
}
}  // namespace

void RunViewDialog(HWND owner, uint32_t kind) {
  DialogBoxParamW(AppInstance(), MAKEINTRESOURCEW(IDD_VIEW), owner, ViewProc, kind);
  // The decoded stream and its points go with the dialog, and a typed password with them.
  MainState* s = App();
  CloseByteSource(&s->Archive.viewSource);
  std::memset(s->Password, 0, sizeof s->Password);
}
