// The job host of the Windows program: every delivery is a window message to the progress
// dialog, the list view or the status bar, owned by the UI thread.
#pragma once

#include <windows.h>

#include "jobs/job_host.h"

inline constexpr UINT kJobUpdateMessage = WM_APP + 2;
inline constexpr UINT kJobDoneMessage = WM_APP + 3;
// To the main window: sort the list with the current order.
inline constexpr UINT kSortListMessage = WM_APP + 4;
// To the main window, sent by the worker: rows to append (lParam: the batch), a cell of a
// row already shown (wParam: the row, lParam: the CellChange), every row to go.
inline constexpr UINT kRowBatchMessage = WM_APP + 5;
inline constexpr UINT kSetCellMessage = WM_APP + 6;
inline constexpr UINT kClearRowsMessage = WM_APP + 7;

struct CellChange {
  uint32_t column;
  const char16_t* text;
};

const JobHost* Win32JobHost();
