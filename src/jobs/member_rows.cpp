#include "jobs/member_rows.h"

#include <cstring>

#include "core/member_name.h"
#include "jobs/job_host.h"
#include "jobs/main_state.h"
#include "jobs/row_cells.h"

namespace {
enum : uint32_t { kColumnName = 0, kColumnDate, kColumnType, kColumnSize, kColumnExtracted, kColumnSixth };

void SetCell(MainState* state, int32_t row, uint32_t column, const char16_t* text) {
  state->Host->setCell(state, row, column, text);
}
}  // namespace

uint32_t AddRowCallback(ArchiveContext* context) {
  MainState* state = StateOf(context);
  ListTotals& t = state->Totals;
  const EntryRecord& e = context->entry;
  std::memset(state->JobPath, 0, sizeof state->JobPath);
  std::memset(&state->Scratch, 0, sizeof state->Scratch);
  t.ListedCount += 1;
  t.LastMemberIndex = context->memberIndex;
  uint64_t stored = static_cast<uint64_t>(e.packedSize);
  t.TotalSize += stored;
  t.TotalExtractedSize += e.size;
  if (t.RowCount >= kMaxRows) return 0;
  int32_t row = static_cast<int32_t>(t.RowCount);
  t.RowCount += 1;
  DecodeMemberName(context, &e, state->JobPath);
  state->Host->insertRow(state, row, state->JobPath, context->memberIndex);
  char16_t* cell = state->Scratch.wide;
  DateCell(e.modified, cell);
  SetCell(state, row, kColumnDate, cell);
  TypeName(state->JobPath, &state->Types, cell);
  SetCell(state, row, kColumnType, cell);
  GroupedDecimal(stored, cell);
  SetCell(state, row, kColumnSize, cell);
  GroupedDecimal(e.size, cell);
  SetCell(state, row, kColumnExtracted, cell);
  SixthColumnText(context, cell);
  SetCell(state, row, kColumnSixth, cell);
  t.RowSize += stored;
  t.RowExtractedSize += e.size;
  return 0;
}

uint32_t UpdateRowCallback(ArchiveContext* context) {
  MainState* state = StateOf(context);
  DecodeMemberName(context, &context->entry, state->JobPath);
  SetCell(state, state->CurrentRow, kColumnName, state->JobPath);
  TypeName(state->JobPath, nullptr, state->Scratch.wide);
  SetCell(state, state->CurrentRow, kColumnType, state->Scratch.wide);
  SixthColumnText(context, state->Scratch.wide);
  SetCell(state, state->CurrentRow, kColumnSixth, state->Scratch.wide);
  return 0;
}

uint32_t UpdateModeCallback(ArchiveContext* context) {
  MainState* state = StateOf(context);
  SixthColumnText(context, state->JobPath);
  SetCell(state, state->CurrentRow, kColumnSixth, state->JobPath);
  return 0;
}
