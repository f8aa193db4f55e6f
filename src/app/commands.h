// The main window's commands: each checks its condition, then runs or starts its job.
#pragma once

#include <windows.h>

#include <cstdint>

void RunCommand(HWND window, uint32_t id);
// Opens the archive at JobPath in the job dialog; when it opened read-only because an
// interrupted add left its last member incomplete, offers to cut that member away.
void OpenArchiveJob(HWND window);
// The in-place edit of a name ended (LVN_ENDLABELEDITW).
void RenameEditedRow(HWND window, int32_t row, const wchar_t* newText);
