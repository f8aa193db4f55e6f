#include "app/member_list.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/resource_ids.h"
#include "jobs/list_texts.h"

namespace {
// How the window lays out each column: width at 96 dpi and alignment.
struct ColumnLayout {
  int width;
  int format;
};
constexpr ColumnLayout kColumnLayouts[kListColumnCount] = {
    {320, LVCFMT_LEFT},  {110, LVCFMT_LEFT},  {160, LVCFMT_LEFT},
    {100, LVCFMT_RIGHT}, {100, LVCFMT_RIGHT}, {120, LVCFMT_RIGHT},
};
constexpr uint32_t kSizeCellChars = 31;     // 30 characters and the terminator
constexpr uint32_t kCompareCellChars = 257;  // 256 characters and the terminator
constexpr UINT_PTR kSelectionTimerId = 1;
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

// The sort column's texts by member index, read before the list starts sorting: the list
// is not to be asked for its rows while it moves them.
struct SortTexts {
  std::vector<std::pair<uint32_t, std::u16string>> byMember;
};
SortTexts gSortTexts;

const char16_t* SortText(uint32_t member) {
  auto& v = gSortTexts.byMember;
  auto at = std::lower_bound(v.begin(), v.end(), member, [](const auto& e, uint32_t m) { return e.first < m; });
  return at != v.end() && at->first == member ? at->second.c_str() : u"";
}

int CALLBACK CompareListRows(LPARAM a, LPARAM b, LPARAM) {
  MainState* s = App();
  uint32_t ma = static_cast<uint32_t>(a), mb = static_cast<uint32_t>(b);
  return CompareRows(s->SortColumn, s->SortDirection, ma, mb, SortText(ma), SortText(mb));
}

void CollectSortTexts() {
  MainState* s = App();
  auto& v = gSortTexts.byMember;
  v.clear();
  if (s->SortColumn >= kListColumnCount) return;
  int32_t rows = static_cast<int32_t>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0));
  v.reserve(static_cast<size_t>(rows));
  char16_t text[kCompareCellChars];
  for (int32_t row = 0; row < rows; ++row) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    ReadCell(row, s->SortColumn, text, kCompareCellChars);
    v.emplace_back(static_cast<uint32_t>(item.lParam), text);
  }
  std::sort(v.begin(), v.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
}

void SelectionSizes(int32_t row, uint64_t* size, uint64_t* extracted, uint32_t capacity) {
  char16_t text[kCompareCellChars];
  *size = ReadCell(row, kColumnSize, text, capacity) ? CellNumber(text) : 0;
  *extracted = ReadCell(row, kColumnExtracted, text, capacity) ? CellNumber(text) : 0;
}
}  // namespace

bool CreateMemberList(HWND mainWindow) {
  MainState* s = App();
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_EDITLABELS,
                              0, 0, 100, 100, mainWindow, reinterpret_cast<HMENU>(IDC_LIST_VIEW), AppInstance(), nullptr);
  if (list == nullptr) return false;
  s->ListView = HandleOf(list);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (uint32_t i = 0; i < kListColumnCount; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = kColumnLayouts[i].format;
    column.cx = ScaleForDpi(kColumnLayouts[i].width);
    column.pszText = const_cast<wchar_t*>(Wide(ColumnHeading(i, kFormatNone)));
    column.iSubItem = static_cast<int>(i);
    if (SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column)) < 0) return false;
  }
  SetFocus(list);
  return true;
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
  SetWindowTextW(Hwnd(s->MainWindow), Wide(title));
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
    SetStatusPart(0, text);
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
  CollectSortTexts();
  SendMessageW(List(), LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareListRows));
  gSortTexts.byMember.clear();
  gSortTexts.byMember.shrink_to_fit();
}

void OnItemChanged(const NMLISTVIEW* change) {
  MainState* s = App();
  if (s->BulkSelect == 1 || (change->uChanged & LVIF_STATE) == 0) return;
  bool was = (change->uOldState & LVIS_SELECTED) != 0, now = (change->uNewState & LVIS_SELECTED) != 0;
  if (was == now || change->iItem < 0) return;
  uint64_t size = 0, extracted = 0;
  SelectionSizes(change->iItem, &size, &extracted, kSizeCellChars);
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

// Select All and Deselect All: every row set, the sums taken whole.
void SetAllSelected(bool selected) {
  MainState* s = App();
  SetFocus(List());
  s->BulkSelect = 1;
  for (uint32_t i = 0; i < s->Totals.RowCount; ++i) SetRowSelected(static_cast<int32_t>(i), selected);
  ListTotals& t = s->Totals;
  t.SelectedCount = selected ? t.RowCount : 0;
  t.SelectedSize = selected ? t.RowSize : 0;
  t.SelectedExtractedSize = selected ? t.RowExtractedSize : 0;
  s->BulkSelect = 0;
  s->CurrentRow = 0;
  RefreshStatus(kStatusSelection);
}

void SelectAll() { SetAllSelected(true); }
void DeselectAll() { SetAllSelected(false); }

void InvertSelection() {
  MainState* s = App();
  SetFocus(List());
  s->BulkSelect = 1;
  for (uint32_t i = 0; i < s->Totals.RowCount; ++i)
    SetRowSelected(static_cast<int32_t>(i), !RowSelected(static_cast<int32_t>(i)));
  ListTotals& t = s->Totals;
  t.SelectedCount = t.RowCount - t.SelectedCount;
  t.SelectedSize = t.RowSize - t.SelectedSize;
  t.SelectedExtractedSize = t.RowExtractedSize - t.SelectedExtractedSize;
  s->BulkSelect = 0;
  s->CurrentRow = t.SelectedCount == 1 ? FirstSelectedRow() : 0;
  RefreshStatus(kStatusSelection);
}

void RefreshCurrentMember() {
  MainState* s = App();
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = s->CurrentRow;
  bool found = s->CurrentRow >= 0 && SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
  s->Totals.CurrentMember = found ? static_cast<uint32_t>(item.lParam) : kNoMember;
}

void ClearList() {
  MainState* s = App();
  s->BulkSelect = 1;  // the removal's deselections are not selection changes
  SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
  s->BulkSelect = 0;
  ResetListTotals(s);
}

uint32_t RemoveRowCallback(ArchiveContext* context) {
  MainState* s = App();
  ListTotals& t = s->Totals;
  uint64_t size = 0, extracted = 0;
  SelectionSizes(s->CurrentRow, &size, &extracted, kCompareCellChars);
  // The row may be selected; its share leaves the selection counters with it, whether or
  // not the list reports the deselection of a removed row.
  bool selected = RowSelected(s->CurrentRow);
  s->BulkSelect = 1;
  SendMessageW(List(), LVM_DELETEITEM, IndexParam(s->CurrentRow), 0);
  s->BulkSelect = 0;
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
  if (row < 0) return false;
  LVITEMW item{};
  item.iSubItem = static_cast<int>(column);
  item.pszText = Wide(text);
  item.cchTextMax = static_cast<int>(capacity);
  SendMessageW(List(), LVM_GETITEMTEXTW, IndexParam(row), reinterpret_cast<LPARAM>(&item));
  return true;
}

int32_t FindMemberRow(uint32_t memberIndex) {
  LVFINDINFOW find{};
  find.flags = LVFI_PARAM;
  find.lParam = memberIndex;
  return static_cast<int32_t>(SendMessageW(List(), LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

int32_t FirstSelectedRow() {
  return static_cast<int32_t>(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}
