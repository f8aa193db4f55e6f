// The member list's rows, kept by the program: the list view is an owner-data view that
// asks for each cell as it paints, so a hundred thousand rows cost one count, not a
// message per cell. Owned by the UI thread; the worker hands rows over in batches.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jobs/list_columns.h"

// Texts live in large blocks; a cell is an offset into them.
struct ListRow {
  uint32_t member;
  uint32_t cells[kListColumnCount];
};

struct ListTable {
  std::vector<ListRow> rows;
  std::vector<std::unique_ptr<char16_t[]>> blocks;
  uint32_t blockUsed;
};

// A row as the worker fills it, before it joins the table.
struct PendingRow {
  uint32_t member;
  std::u16string cells[kListColumnCount];
};

ListTable& Table();
// Appends the batch; a cell equal to the one above it shares its text.
void AppendRows(ListTable& table, const std::vector<PendingRow>& batch);
void SetTableCell(ListTable& table, uint32_t row, uint32_t column, const char16_t* text);
void RemoveTableRow(ListTable& table, uint32_t row);
void ClearTable(ListTable& table);
const char16_t* CellText(const ListTable& table, uint32_t row, uint32_t column);
