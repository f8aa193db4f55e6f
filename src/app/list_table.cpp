#include "app/list_table.h"

#include <cstring>
#include <string_view>

namespace {
constexpr uint32_t kBlockChars = 32768;

uint32_t StoreText(ListTable& table, const char16_t* text) {
  uint32_t length = 0;
  while (text[length] != 0) ++length;
  // A text longer than a block gets a block of its own size.
  const uint32_t need = length + 1;
  if (table.blocks.empty() || table.blockUsed + need > kBlockChars) {
    table.blocks.emplace_back(new char16_t[need > kBlockChars ? need : kBlockChars]);
    table.blockUsed = 0;
  }
  const uint32_t block = static_cast<uint32_t>(table.blocks.size() - 1);
  std::memcpy(table.blocks[block].get() + table.blockUsed, text, need * sizeof(char16_t));
  // Offsets count in blocks of kBlockChars; an oversized block is one block wide.
  const uint32_t offset = block * kBlockChars + table.blockUsed;
  table.blockUsed += need;
  return offset;
}

const char16_t* TextAt(const ListTable& table, uint32_t offset) {
  return table.blocks[offset / kBlockChars].get() + offset % kBlockChars;
}
}  // namespace

ListTable& Table() {
  static ListTable table;
  return table;
}

void AppendRows(ListTable& table, const std::vector<PendingRow>& batch) {
  for (const PendingRow& pending : batch) {
    ListRow row{pending.member, {}};
    const ListRow* above = table.rows.empty() ? nullptr : &table.rows.back();
    for (uint32_t c = 0; c < kListColumnCount; ++c) {
      const char16_t* text = pending.cells[c].c_str();
      const bool same = above != nullptr && std::u16string_view(TextAt(table, above->cells[c])) == text;
      row.cells[c] = same ? above->cells[c] : StoreText(table, text);
    }
    table.rows.push_back(row);
  }
}

void SetTableCell(ListTable& table, uint32_t row, uint32_t column, const char16_t* text) {
  if (row < table.rows.size() && column < kListColumnCount) table.rows[row].cells[column] = StoreText(table, text);
}

void RemoveTableRow(ListTable& table, uint32_t row) {
  if (row < table.rows.size()) table.rows.erase(table.rows.begin() + row);
}

void ClearTable(ListTable& table) {
  std::vector<ListRow>().swap(table.rows);
  std::vector<std::unique_ptr<char16_t[]>>().swap(table.blocks);
  table.blockUsed = 0;
}

const char16_t* CellText(const ListTable& table, uint32_t row, uint32_t column) {
  if (row >= table.rows.size() || column >= kListColumnCount) return u"";
  return TextAt(table, table.rows[row].cells[column]);
}
