// The main menu's drop-down rules and the member context menu.
#pragma once

#include <windows.h>

// Builds the context menu and its five submenus; false when the top level cannot be made.
bool BuildContextMenu();
void DestroyContextMenu();
// Enables or grays the context menu's items by the current state.
void PrepareContextMenu();
// WM_CONTEXTMENU at screen point (x, y); false to decline (a click above the client area).
bool ShowContextMenu(HWND window, int x, int y);
// WM_INITMENUPOPUP for the main menu's drop-down at position (0 File to 3 Help).
void PrepareMainMenu(HMENU dropDown, UINT position);
