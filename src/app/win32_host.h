// The job host of the Windows program: every delivery is a window message to the progress
// dialog, the list view or the status bar, owned by the UI thread.
#pragma once

#include <windows.h>

#include "jobs/job_host.h"

inline constexpr UINT kJobUpdateMessage = WM_APP + 2;
inline constexpr UINT kJobDoneMessage = WM_APP + 3;
// To the main window: sort the list with the current order.
inline constexpr UINT kSortListMessage = WM_APP + 4;

const JobHost* Win32JobHost();
