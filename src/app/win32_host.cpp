#include "app/win32_host.h"

#include <commctrl.h>

#include <algorithm>

#include "app/app_state.h"
#include "app/member_list.h"

namespace {
constexpr UINT kProgressTimeoutMs = 1000;
constexpr UINT kStatusTextTimeoutMs = 8000;

HWND Dialog(MainState* s) { return Hwnd(s->ProgressDialog); }
HWND List(MainState* s) { return Hwnd(s->ListView); }

void NotifyUpdate(MainState* s, uint32_t code, uint32_t argument) {
  SendNotifyMessageW(Dialog(s), kJobUpdateMessage, code, argument);
}
void NotifyDone(MainState* s, uint32_t token, uint32_t outcome) {
  SendNotifyMessageW(Dialog(s), kJobDoneMessage, token, outcome);
}
void NotifyRedraw(MainState* s, bool on) { SendNotifyMessageW(List(s), WM_SETREDRAW, on ? TRUE : FALSE, 0); }
void NotifySort(MainState* s) { SendNotifyMessageW(Hwnd(s->MainWindow), kSortListMessage, 0, 0); }

void SendProgress(MainState* s, uint32_t code, const ProgressBlock* block) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(Dialog(s), kJobUpdateMessage, code, reinterpret_cast<LPARAM>(block), SMTO_ABORTIFHUNG,
                      kProgressTimeoutMs, &ignored);
}
void SendStatusText(MainState* s, const char16_t* text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(Hwnd(s->StatusText), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NOTIMEOUTIFNOTHUNG,
                      kStatusTextTimeoutMs, &ignored);
}
uint32_t AskPrompt(MainState* s, uint32_t code, const char16_t* text) {
  return static_cast<uint32_t>(SendMessageW(Dialog(s), kJobUpdateMessage, code, reinterpret_cast<LPARAM>(text)));
}

void DeleteAllRows(MainState* s) { SendMessageW(List(s), LVM_DELETEALLITEMS, 0, 0); }
void ClearStatusBar(MainState* s) {
  SendMessageW(Hwnd(s->StatusBar), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));
  SendMessageW(Hwnd(s->StatusBar), SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(L""));
}
bool IsRowSelected(MainState* s, int32_t row) {
  return (SendMessageW(List(s), LVM_GETITEMSTATE, IndexParam(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}
bool RowMember(MainState* s, int32_t row, uint32_t* memberIndex) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (SendMessageW(List(s), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) == 0) return false;
  *memberIndex = static_cast<uint32_t>(item.lParam);
  return true;
}
bool RowText(MainState*, int32_t row, char16_t* text, uint32_t capacity) { return ReadCell(row, kColumnName, text, capacity); }
// On the window's own thread: each message goes straight to the list, no thread switch.
uint32_t ReadSelection(MainState* s, uint64_t* bits, uint32_t words) {
  uint32_t need = 0;
  for (int32_t row = FirstSelectedRow(); row >= 0;
       row = static_cast<int32_t>(SendMessageW(List(s), LVM_GETNEXTITEM, IndexParam(row), LVNI_SELECTED))) {
    uint32_t member = 0;
    if (RowMember(s, row, &member)) need = std::max(need, MarkSelectedMember(bits, words, member));
  }
  return need;
}
void InsertRow(MainState* s, int32_t row, const char16_t* text, uint32_t memberIndex) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = const_cast<wchar_t*>(Wide(text));
  item.lParam = memberIndex;
  SendMessageW(List(s), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}
void SetCell(MainState* s, int32_t row, uint32_t column, const char16_t* text) {
  LVITEMW item{};
  item.iSubItem = static_cast<int>(column);
  item.pszText = const_cast<wchar_t*>(Wide(text));
  SendMessageW(List(s), LVM_SETITEMTEXTW, IndexParam(row), reinterpret_cast<LPARAM>(&item));
}

constexpr JobHost kWin32Host = {
    NotifyUpdate, NotifyDone, NotifyRedraw, NotifySort, SendProgress, SendStatusText, AskPrompt,
    DeleteAllRows, ClearStatusBar, IsRowSelected, RowMember, RowText, ReadSelection, InsertRow, SetCell,
    nullptr,  // the outcome gives the count of what was left out
};
}  // namespace

const JobHost* Win32JobHost() { return &kWin32Host; }
