#include "app/win32_host.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "app/app_state.h"
#include "app/member_list.h"

namespace {
constexpr UINT kProgressTimeoutMs = 1000;
constexpr UINT kStatusTextTimeoutMs = 8000;

constexpr size_t kBatchRows = 1024;

HWND Dialog(MainState* s) { return Hwnd(s->ProgressDialog); }
HWND List(MainState* s) { return Hwnd(s->ListView); }

// Rows the worker has made and the window not yet taken: only the worker touches them.
struct PendingRows {
  std::vector<PendingRow> rows;
  int32_t first;  // the row number of rows[0]
};
PendingRows gPending;

// Hands the batch to the window, which appends it; whatever the worker reports next
// (a prompt, the end of the job) comes behind the rows it concerns.
void FlushRows(MainState* s) {
  if (gPending.rows.empty()) return;
  SendMessageW(Hwnd(s->MainWindow), kRowBatchMessage, 0, reinterpret_cast<LPARAM>(&gPending.rows));
  gPending.rows.clear();
}

void NotifyUpdate(MainState* s, uint32_t code, uint32_t argument) {
  FlushRows(s);
  SendNotifyMessageW(Dialog(s), kJobUpdateMessage, code, argument);
}
void NotifyDone(MainState* s, uint32_t token, uint32_t outcome) {
  FlushRows(s);
  SendNotifyMessageW(Dialog(s), kJobDoneMessage, token, outcome);
}
// Rows show while the archive is still being listed: the list stays drawn.
void NotifyRedraw(MainState* s, bool) { FlushRows(s); }
void NotifySort(MainState* s) {
  FlushRows(s);
  SendNotifyMessageW(Hwnd(s->MainWindow), kSortListMessage, 0, 0);
}

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
  FlushRows(s);
  return static_cast<uint32_t>(SendMessageW(Dialog(s), kJobUpdateMessage, code, reinterpret_cast<LPARAM>(text)));
}

void DeleteAllRows(MainState* s) {
  gPending.rows.clear();
  SendMessageW(Hwnd(s->MainWindow), kClearRowsMessage, 0, 0);
}
void ClearStatusBar(MainState* s) {
  SendMessageW(Hwnd(s->StatusBar), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));
  SendMessageW(Hwnd(s->StatusBar), SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(L""));
}
bool IsRowSelected(MainState* s, int32_t row) {
  return (SendMessageW(List(s), LVM_GETITEMSTATE, IndexParam(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}
// Read straight from the table: while a job runs the window changes rows only when the
// worker itself asks it to.
bool RowMember(MainState*, int32_t row, uint32_t* memberIndex) {
  *memberIndex = RowMemberAt(row);
  return *memberIndex != kNoMember;
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
// Rows are only ever added at the end, one behind the other.
void InsertRow(MainState* s, int32_t row, const char16_t* text, uint32_t memberIndex) {
  if (gPending.rows.size() >= kBatchRows) FlushRows(s);
  if (gPending.rows.empty()) gPending.first = row;
  gPending.rows.push_back(PendingRow{memberIndex, {}});
  gPending.rows.back().cells[kColumnName] = text;
}
void SetCell(MainState* s, int32_t row, uint32_t column, const char16_t* text) {
  const int32_t pending = row - gPending.first;
  if (column < kListColumnCount && pending >= 0 && static_cast<size_t>(pending) < gPending.rows.size()) {
    gPending.rows[static_cast<size_t>(pending)].cells[column] = text;
    return;
  }
  CellChange change{column, text};
  SendMessageW(Hwnd(s->MainWindow), kSetCellMessage, IndexParam(row), reinterpret_cast<LPARAM>(&change));
}

constexpr JobHost kWin32Host = {
    NotifyUpdate, NotifyDone, NotifyRedraw, NotifySort, SendProgress, SendStatusText, AskPrompt,
    DeleteAllRows, ClearStatusBar, IsRowSelected, RowMember, RowText, ReadSelection, InsertRow, SetCell,
    nullptr,  // the outcome gives the count of what was left out
};
}  // namespace

const JobHost* Win32JobHost() { return &kWin32Host; }
