#include "app/member_list.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/list_table.h"
#include "app/start_values.h"
#include "app/window_memory.h"
#include "app/resource_ids.h"
#include "jobs/list_texts.h"

namespace {
// Title and status say that the TAR is read from a gzip stream, and so cannot change.
constexpr char16_t kCompressedTarNote[] = u" (compressed TAR)";
// How the window lays out each column: width at 96 dpi and alignment.
struct ColumnLayout {
  int width;
  int format;
};
constexpr ColumnLayout kColumnLayouts[kListColumnCount] = {
    {320, LVCFMT_LEFT},  {110, LVCFMT_LEFT},  {160, LVCFMT_LEFT},
    {100, LVCFMT_RIGHT}, {100, LVCFMT_RIGHT}, {120, LVCFMT_RIGHT},
};
constexpr UINT_PTR kSelectionTimerId = 1;
constexpr int kMaxColumnWidth = 4000;  // at 96 dpi; a remembered width beyond it is not taken
constexpr UINT kSelectionTimerMs = 125;

HWND List() { return Hwnd(App()->ListView); }

void StopSelectionTimer() {
  MainState* s = App();
  if (s->SelectionTimer != 0) KillTimer(Hwnd(s->MainWindow), s->SelectionTimer);
  s->SelectionTimer = 0;
}

void SetStatusPart(int part, const char16_t* text) {
  SendMessageW(Hwnd(App()->StatusBar), SB_SETTEXTW, IndexParam(part), reinterpret_cast<LPARAM>(text));
}

void SetRowSelected(int32_t row, bool selected) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageW(List(), LVM_SETITEMSTATE, IndexParam(row), reinterpret_cast<LPARAM>(&item));
}

bool RowSelected(int32_t row) {
  return (SendMessageW(List(), LVM_GETITEMSTATE, IndexParam(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

uint64_t CellSize(int32_t row, uint32_t column) {
  return row < 0 ? 0 : CellNumber(CellText(Table(), static_cast<uint32_t>(row), column));
}

void SelectionSizes(int32_t row, uint64_t* size, uint64_t* extracted) {
  *size = CellSize(row, kColumnSize);
  *extracted = CellSize(row, kColumnExtracted);
}

// Selection changed row by row in bulk: our per-row handler stands aside, and drawing is off,
// since a list view may redraw every row it changes, even off screen (Wine's makes one server
// call a row, which took seconds for Select All over 100 000 rows).
void BeginBulkSelect() {
  App()->BulkSelect = 1;
  SendMessageW(List(), WM_SETREDRAW, FALSE, 0);
}

void EndBulkSelect() {
  App()->BulkSelect = 0;
  SendMessageW(List(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(List(), nullptr, FALSE);
}

int32_t NextSelectedRow(int32_t after) {
  return static_cast<int32_t>(SendMessageW(List(), LVM_GETNEXTITEM, IndexParam(after), LVNI_SELECTED));
}

std::vector<uint8_t> SelectedFlags() {
  std::vector<uint8_t> flags(Table().rows.size());
  for (int32_t row = FirstSelectedRow(); row >= 0 && static_cast<size_t>(row) < flags.size(); row = NextSelectedRow(row))
    flags[static_cast<size_t>(row)] = 1;
  return flags;
}

// An owner-data list keeps selection by position: after rows move, it is set again.
void ApplySelectedFlags(const std::vector<uint8_t>& flags) {
  BeginBulkSelect();
  ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
  for (size_t i = 0; i < flags.size(); ++i)
    if (flags[i] != 0) SetRowSelected(static_cast<int32_t>(i), true);
  EndBulkSelect();
}

// Counters from the rows themselves, after a change the list reports only in bulk.
void RecountSelection() {
  MainState* s = App();
  ListTotals& t = s->Totals;
  t.SelectedCount = 0;
  t.SelectedSize = 0;
  t.SelectedExtractedSize = 0;
  for (int32_t row = FirstSelectedRow(); row >= 0; row = NextSelectedRow(row)) {
    t.SelectedCount += 1;
    t.SelectedSize += CellSize(row, kColumnSize);
    t.SelectedExtractedSize += CellSize(row, kColumnExtracted);
  }
  s->CurrentRow = t.SelectedCount == 1 ? FirstSelectedRow() : s->CurrentRow;
}

void ShowItemCount(uint32_t count) {
  SendMessageW(List(), LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}
}  // namespace

bool CreateMemberList(HWND mainWindow) {
  MainState* s = App();
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_EDITLABELS | LVS_OWNERDATA,
                              0, 0, 100, 100, mainWindow, reinterpret_cast<HMENU>(IDC_LIST_VIEW), AppInstance(), nullptr);
  if (list == nullptr) return false;
  s->ListView = HandleOf(list);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (uint32_t i = 0; i < kListColumnCount; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = kColumnLayouts[i].format;
    const int remembered = Memory().hasColumns ? Memory().columnWidths[i] : 0;
    column.cx = ScaleForDpi(remembered > 0 && remembered < kMaxColumnWidth ? remembered : kColumnLayouts[i].width);
    column.pszText = const_cast<wchar_t*>(Wide(ColumnHeading(i, kFormatNone)));
    column.iSubItem = static_cast<int>(i);
    if (SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column)) < 0) return false;
  }
  SetFocus(list);
  return true;
}

void RememberColumns() {
  MainState* s = App();
  WindowMemory& memory = Memory();
  for (uint32_t i = 0; i < kListColumnCount; ++i) {
    const int64_t width = SendMessageW(List(), LVM_GETCOLUMNWIDTH, i, 0);
    memory.columnWidths[i] = static_cast<int>((width * kBaseDpi + s->Dpi / 2) / s->Dpi);
  }
  memory.hasColumns = true;
  memory.sortColumn = s->SortColumn;
  memory.sortDirection = s->SortDirection;
}

void RescaleColumns(uint32_t oldDpi, uint32_t newDpi) {
  for (uint32_t i = 0; i < kListColumnCount; ++i) {
    int64_t width = SendMessageW(List(), LVM_GETCOLUMNWIDTH, i, 0);
    int64_t scaled = (width * newDpi + oldDpi / 2) / oldDpi;
    SendMessageW(List(), LVM_SETCOLUMNWIDTH, i, MAKELPARAM(static_cast<int>(scaled), 0));
  }
}

void RefreshArchiveView() {
  MainState* s = App();
  const char16_t* title = s->ProductName;
  if (s->ArchivePath[0] != 0) {
    title = s->ArchivePath;
    for (const char16_t* p = s->ArchivePath; *p != 0; ++p)
      if (*p == u'\\' || *p == u'/') title = p + 1;
  }
  std::u16string shown = title;
  if (s->Archive.format == kFormatTarGz) shown += kCompressedTarNote;
  SetWindowTextW(Hwnd(s->MainWindow), Wide(shown.c_str()));
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_FMT;  // the format too, or the heading loses its alignment
  column.fmt = kColumnLayouts[kColumnDetails].format;
  column.pszText = const_cast<wchar_t*>(Wide(ColumnHeading(kColumnDetails, s->Archive.format)));
  SendMessageW(List(), LVM_SETCOLUMNW, kColumnDetails, reinterpret_cast<LPARAM>(&column));
  RefreshStatus(kStatusBoth);
}

void RefreshStatus(uint32_t parts) {
  MainState* s = App();
  if (s->Archive.format == kFormatNone) {
    SetStatusPart(0, u"");
    SetStatusPart(1, u"");
    StopSelectionTimer();
    return;
  }
  char16_t text[kStatusPartChars];
  if ((parts & kStatusItems) != 0) {
    StatusItemsText(s->Totals.ListedCount, text);
    std::u16string items = text;
    if (s->Archive.format == kFormatTarGz) items += kCompressedTarNote;
    SetStatusPart(0, items.c_str());
  }
  if ((parts & kStatusSelection) != 0) {
    StatusSizesText(s->Totals, text);
    SetStatusPart(1, text);
    StopSelectionTimer();
  }
}

void SortBy(uint32_t column) {
  MainState* s = App();
  if (column == s->SortColumn) {
    s->SortDirection = -s->SortDirection;
  } else {
    s->SortColumn = column;
    s->SortDirection = 1;
  }
  SortList();
  if (s->Totals.SelectedCount == 1) s->CurrentRow = FirstSelectedRow();
}

void SortList() {
  MainState* s = App();
  ListTable& table = Table();
  const uint32_t column = s->SortColumn;
  std::vector<uint32_t> order(table.rows.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  auto before = [&](uint32_t a, uint32_t b) {
    const char16_t* ta = column < kListColumnCount ? CellText(table, a, column) : u"";
    const char16_t* tb = column < kListColumnCount ? CellText(table, b, column) : u"";
    return CompareRows(column, s->SortDirection, table.rows[a].member, table.rows[b].member, ta, tb) < 0;
  };
  // The usual archive order costs one pass.
  if (std::is_sorted(order.begin(), order.end(), before)) return;
  std::stable_sort(order.begin(), order.end(), before);
  const std::vector<uint8_t> selected = SelectedFlags();
  const int32_t focused = ListView_GetNextItem(List(), -1, LVNI_FOCUSED);
  std::vector<ListRow> rows(order.size());
  std::vector<uint8_t> flags(order.size());
  int32_t newFocus = -1;
  for (uint32_t i = 0; i < order.size(); ++i) {
    rows[i] = table.rows[order[i]];
    flags[i] = selected[order[i]];
    if (static_cast<int32_t>(order[i]) == focused) newFocus = static_cast<int32_t>(i);
  }
  table.rows.swap(rows);
  ApplySelectedFlags(flags);
  if (newFocus >= 0) ListView_SetItemState(List(), newFocus, LVIS_FOCUSED, LVIS_FOCUSED);
  InvalidateRect(List(), nullptr, FALSE);
}

void OnItemChanged(const NMLISTVIEW* change) {
  MainState* s = App();
  if (s->BulkSelect == 1 || (change->uChanged & LVIF_STATE) == 0) return;
  bool was = (change->uOldState & LVIS_SELECTED) != 0, now = (change->uNewState & LVIS_SELECTED) != 0;
  if (was == now) return;
  if (change->iItem < 0) {
    OnSelectionRangeChanged();
    return;
  }
  uint64_t size = 0, extracted = 0;
  SelectionSizes(change->iItem, &size, &extracted);
  ListTotals& t = s->Totals;
  if (now) {
    t.SelectedCount += 1;
    t.SelectedSize += size;
    t.SelectedExtractedSize += extracted;
    s->CurrentRow = change->iItem;
  } else {
    t.SelectedCount -= 1;
    t.SelectedSize -= size;
    t.SelectedExtractedSize -= extracted;
    if (t.SelectedCount == 1) s->CurrentRow = FirstSelectedRow();
  }
  if (s->SelectionTimer == 0) {
    s->SelectionTimer = SetTimer(Hwnd(s->MainWindow), kSelectionTimerId, kSelectionTimerMs, nullptr);
    if (s->SelectionTimer == 0) RefreshStatus(kStatusSelection);
  }
}

void OnSelectionRangeChanged() {
  MainState* s = App();
  if (s->BulkSelect == 1) return;
  RecountSelection();
  if (s->SelectionTimer == 0) {
    s->SelectionTimer = SetTimer(Hwnd(s->MainWindow), kSelectionTimerId, kSelectionTimerMs, nullptr);
    if (s->SelectionTimer == 0) RefreshStatus(kStatusSelection);
  }
}

// Select All and Deselect All: every row set, the sums taken whole.
void SetAllSelected(bool selected) {
  MainState* s = App();
  SetFocus(List());
  BeginBulkSelect();
  ListView_SetItemState(List(), -1, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
  ListTotals& t = s->Totals;
  t.SelectedCount = selected ? t.RowCount : 0;
  t.SelectedSize = selected ? t.RowSize : 0;
  t.SelectedExtractedSize = selected ? t.RowExtractedSize : 0;
  EndBulkSelect();
  s->CurrentRow = 0;
  RefreshStatus(kStatusSelection);
}

void SelectAll() { SetAllSelected(true); }
void DeselectAll() { SetAllSelected(false); }

void InvertSelection() {
  MainState* s = App();
  SetFocus(List());
  BeginBulkSelect();
  for (uint32_t i = 0; i < s->Totals.RowCount; ++i)
    SetRowSelected(static_cast<int32_t>(i), !RowSelected(static_cast<int32_t>(i)));
  ListTotals& t = s->Totals;
  t.SelectedCount = t.RowCount - t.SelectedCount;
  t.SelectedSize = t.RowSize - t.SelectedSize;
  t.SelectedExtractedSize = t.RowExtractedSize - t.SelectedExtractedSize;
  EndBulkSelect();
  s->CurrentRow = t.SelectedCount == 1 ? FirstSelectedRow() : 0;
  RefreshStatus(kStatusSelection);
}

void RefreshCurrentMember() {
  MainState* s = App();
  const ListTable& table = Table();
  const bool found = s->CurrentRow >= 0 && static_cast<size_t>(s->CurrentRow) < table.rows.size();
  s->Totals.CurrentMember = found ? table.rows[static_cast<size_t>(s->CurrentRow)].member : kNoMember;
}

void ClearRows() {
  BeginBulkSelect();
  ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
  ClearTable(Table());
  ShowItemCount(0);
  EndBulkSelect();
}

void ClearList() {
  MainState* s = App();
  ClearRows();
  ResetListTotals(s);
}

uint32_t RemoveRowCallback(ArchiveContext* context) {
  MainState* s = App();
  ListTotals& t = s->Totals;
  uint64_t size = 0, extracted = 0;
  SelectionSizes(s->CurrentRow, &size, &extracted);
  // The row may be selected; its share leaves the selection counters with it. The rows
  // behind it move up, and their selection with them.
  std::vector<uint8_t> flags = SelectedFlags();
  const auto removed = static_cast<size_t>(s->CurrentRow);
  bool selected = removed < flags.size() && flags[removed] != 0;
  if (removed < flags.size()) flags.erase(flags.begin() + static_cast<std::ptrdiff_t>(removed));
  RemoveTableRow(Table(), static_cast<uint32_t>(removed));
  ApplySelectedFlags(flags);
  ShowItemCount(static_cast<uint32_t>(Table().rows.size()));
  if (selected) {
    t.SelectedCount -= 1;
    t.SelectedSize -= size;
    t.SelectedExtractedSize -= extracted;
  }
  t.RowCount -= 1;
  t.ListedCount -= 1;
  t.RowSize -= size;
  t.TotalSize -= size;
  t.RowExtractedSize -= extracted;
  t.TotalExtractedSize -= extracted;
  // Indexes have gaps where a TAR holds zero blocks: the highest member with a row is last.
  uint32_t last = context->memberIndex;
  while (last > 0 && FindMemberRow(--last) < 0) {
  }
  t.LastMemberIndex = last;
  t.OpenMemberCount = context->memberCount;
  t.OpenEndOffset = context->appendOffset;
  s->CurrentRow = t.SelectedCount == 1 ? FirstSelectedRow() : -1;
  RefreshStatus(kStatusBoth);
  return 0;
}

bool ReadCell(int32_t row, uint32_t column, char16_t* text, uint32_t capacity) {
  text[0] = 0;
  if (row < 0 || capacity == 0) return false;
  const char16_t* cell = CellText(Table(), static_cast<uint32_t>(row), column);
  uint32_t n = 0;
  for (; cell[n] != 0 && n + 1 < capacity; ++n) text[n] = cell[n];
  text[n] = 0;
  return true;
}

int32_t FindMemberRow(uint32_t memberIndex) {
  const std::vector<ListRow>& rows = Table().rows;
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].member == memberIndex) return static_cast<int32_t>(i);
  return -1;
}

uint32_t RowMemberAt(int32_t row) {
  const std::vector<ListRow>& rows = Table().rows;
  return row >= 0 && static_cast<size_t>(row) < rows.size() ? rows[static_cast<size_t>(row)].member : kNoMember;
}

void TakeRowBatch(const std::vector<PendingRow>& batch) {
  AppendRows(Table(), batch);
  ShowItemCount(static_cast<uint32_t>(Table().rows.size()));
}

void SetRowCell(int32_t row, uint32_t column, const char16_t* text) {
  if (row < 0) return;
  SetTableCell(Table(), static_cast<uint32_t>(row), column, text);
  SendMessageW(List(), LVM_REDRAWITEMS, IndexParam(row), row);
}

void FillCell(NMLVDISPINFOW* info) {
  LVITEMW& item = info->item;
  if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
  ReadCell(item.iItem, static_cast<uint32_t>(item.iSubItem), reinterpret_cast<char16_t*>(item.pszText),
           static_cast<uint32_t>(item.cchTextMax));
}

// Typing in the list moves to the next row whose name starts with the letters typed.
int32_t FindRowByName(const NMLVFINDITEMW* find) {
  const LVFINDINFOW& f = find->lvfi;
  if ((f.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || f.psz == nullptr) return -1;
  const std::vector<ListRow>& rows = Table().rows;
  const size_t count = rows.size(), length = wcslen(f.psz);
  if (count == 0) return -1;
  const size_t start = find->iStart >= 0 && static_cast<size_t>(find->iStart) < count ? static_cast<size_t>(find->iStart) : 0;
  for (size_t k = 0; k < count; ++k) {
    const size_t row = (start + k) % count;
    if (row < start && (f.flags & LVFI_WRAP) == 0) break;
    const char16_t* name = CellText(Table(), static_cast<uint32_t>(row), kColumnName);
    if (CompareStringOrdinal(reinterpret_cast<const wchar_t*>(name), static_cast<int>(std::min(length, std::u16string_view(name).size())),
                             f.psz, static_cast<int>(length), TRUE) == CSTR_EQUAL &&
        ((f.flags & LVFI_PARTIAL) != 0 || std::u16string_view(name).size() == length))
      return static_cast<int32_t>(row);
  }
  return -1;
}

int32_t FirstSelectedRow() {
  return static_cast<int32_t>(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}
