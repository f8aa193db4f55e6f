// Texts computed from the list: the status bar's two parts and the order of two rows.
#pragma once

#include <cstdint>

#include "jobs/main_state.h"

inline constexpr uint32_t kStatusPartChars = 160;

// " 3 items" (" 1 item" for exactly one).
void StatusItemsText(uint32_t listedCount, char16_t* out);
// "2 selected  1.5 KB  →  3.4 KB", or the totals when nothing is selected.
void StatusSizesText(const ListTotals& totals, char16_t* out);
// The number in a size cell: its decimal digits, every other character skipped.
uint64_t CellNumber(const char16_t* text);
// Negative when the row of member a goes first. textA and textB are the rows' cells in the
// sort column (unused for the archive order, kUnsorted).
int32_t CompareRows(uint32_t column, int32_t direction, uint32_t memberA, uint32_t memberB,
                    const char16_t* textA, const char16_t* textB);
