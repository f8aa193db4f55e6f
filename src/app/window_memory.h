// What the window remembers between runs, beside the four settings under the program's
// registry key: the last eight archives, its place and size, the column widths and the
// sort order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jobs/list_columns.h"

inline constexpr uint32_t kRecentArchives = 8;

struct WindowMemory {
  std::vector<std::wstring> recent;  // newest first
  WINDOWPLACEMENT placement;
  bool hasPlacement;
  int columnWidths[kListColumnCount];  // at 96 dpi
  bool hasColumns;
  uint32_t sortColumn;
  int32_t sortDirection;
  bool hasSort;
  std::wstring lastExtractFolder;  // this run's only
};

WindowMemory& Memory();
void ReadWindowMemory(WindowMemory* memory);
void SaveRecentArchives(const WindowMemory& memory);
// Place, columns and sort order, as the window closes.
void SaveWindowLayout(const WindowMemory& memory);

// The path goes first; the same archive once only (names compared without case), eight at most.
void RememberArchive(WindowMemory* memory, const wchar_t* path);
void ForgetRecent(WindowMemory* memory, size_t index);
