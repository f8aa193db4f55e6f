// The View dialog: one member's stored data or header as text or dumps, page by page.
#pragma once

#include <windows.h>

#include <cstdint>

// Opens the viewer for the current member with view kind 0 to 7; returns when it closes.
void RunViewDialog(HWND owner, uint32_t kind);
