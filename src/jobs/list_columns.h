// The member list's columns, defined once for the window, qbx and the row code.
#pragma once

#include <cstdint>

#include "core/context.h"

// In the order the window shows them and qbx prints a row's cells.
enum : uint32_t {
  kColumnName = 0,
  kColumnDate = 1,
  kColumnType = 2,
  kColumnSize = 3,
  kColumnExtracted = 4,
  kColumnDetails = 5,  // TAR mode letters, QBX attribute letters, ZIP and GZ method
  kListColumnCount = 6,
};
// The sort order past the last column: the archive's own order.
inline constexpr uint32_t kUnsorted = kListColumnCount;
// Room for any cell text but the name's, terminator included.
inline constexpr uint32_t kCellChars = 64;

// The column's heading; the details column is named after what the format keeps there.
const char16_t* ColumnHeading(uint32_t column, FormatKind format);
// The word qbx's --sort takes for a sort order (kUnsorted included); null past it.
const char16_t* SortKey(uint32_t column);
