// The main window's commands: each checks its condition, then runs or starts its job.
#pragma once

#include <windows.h>

#include <cstdint>

void RunCommand(HWND window, uint32_t id);
// The in-place edit of a name ended (LVN_ENDLABELEDITW).
void RenameEditedRow(HWND window, int32_t row, const wchar_t* newText);
