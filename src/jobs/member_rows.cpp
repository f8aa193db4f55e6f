#include "jobs/member_rows.h"

#include <cstring>

#include "core/member_name.h"
#include "jobs/job_host.h"
#include "jobs/list_columns.h"
#include "jobs/main_state.h"
#include "jobs/row_cells.h"

namespace {

void SetCell(MainState* state, int32_t row, uint32_t column, const char16_t* text) {
  state->Host->setCell(state, row, column, text);
}
}  // namespace

uint32_t AddRowCallback(ArchiveContext* context) {
  MainState* state = StateOf(context);
  ListTotals& t = state->Totals;
  const EntryRecord& e = context->entry;
  std::memset(state->RowName, 0, sizeof state->RowName);
  std::memset(state->CellText, 0, sizeof state->CellText);
  t.ListedCount += 1;
  t.LastMemberIndex = context->memberIndex;
  uint64_t stored = static_cast<uint64_t>(e.packedSize);
  t.TotalSize += stored;
  t.TotalExtractedSize += e.size;
  if (t.RowCount >= kMaxRows) return 0;
  int32_t row = static_cast<int32_t>(t.RowCount);
  t.RowCount += 1;
  DecodeMemberName(context, state->RowName);
  state->Host->insertRow(state, row, state->RowName, context->memberIndex);
  char16_t* cell = state->CellText;
  DateCell(e.modified, cell);
  SetCell(state, row, kColumnDate, cell);
  TypeName(state->RowName, &state->Types, cell);
  SetCell(state, row, kColumnType, cell);
  GroupedDecimal(stored, cell);
  SetCell(state, row, kColumnSize, cell);
  GroupedDecimal(e.size, cell);
  SetCell(state, row, kColumnExtracted, cell);
  DetailsText(context, cell);
  SetCell(state, row, kColumnDetails, cell);
  t.RowSize += stored;
  t.RowExtractedSize += e.size;
  return 0;
}

uint32_t UpdateRowCallback(ArchiveContext* context) {
  MainState* state = StateOf(context);
  DecodeMemberName(context, state->RowName);
  SetCell(state, state->CurrentRow, kColumnName, state->RowName);
  TypeName(state->RowName, nullptr, state->CellText);
  SetCell(state, state->CurrentRow, kColumnType, state->CellText);
  DetailsText(context, state->CellText);
  SetCell(state, state->CurrentRow, kColumnDetails, state->CellText);
  return 0;
}

uint32_t UpdateModeCallback(ArchiveContext* context) {
  MainState* state = StateOf(context);
  DetailsText(context, state->CellText);
  SetCell(state, state->CurrentRow, kColumnDetails, state->CellText);
  return 0;
}
