// The main window: its class, creation, messages and orderly end.
#pragma once

#include <windows.h>

bool RegisterMainWindowClass();
HWND CreateMainWindow();
