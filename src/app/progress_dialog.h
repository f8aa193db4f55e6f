// The modal progress dialog that runs one job: compact (107) or full (111) by the kind.
#pragma once

#include <windows.h>

#include <cstdint>

// Opens the dialog for the job kind, owned by owner; returns when it has closed.
void RunJobDialog(HWND owner, uint32_t kind);
