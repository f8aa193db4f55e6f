// The process-wide application record and the conversions between its opaque handles and
// the Win32 ones.
#pragma once

#include <windows.h>

#include "jobs/main_state.h"

// The one MainState of the process, zeroed before start-up.
MainState* App();

inline HWND Hwnd(WindowHandle h) { return reinterpret_cast<HWND>(h); }
inline HMENU Hmenu(WindowHandle h) { return reinterpret_cast<HMENU>(h); }
inline WindowHandle HandleOf(HWND h) { return reinterpret_cast<WindowHandle>(h); }
inline WindowHandle HandleOf(HMENU h) { return reinterpret_cast<WindowHandle>(h); }
inline HINSTANCE AppInstance() { return reinterpret_cast<HINSTANCE>(App()->Instance); }
inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// A size at 96 dots per inch in pixels at the window's dpi.
inline int ScaleForDpi(int size) { return static_cast<int>((static_cast<int64_t>(size) * App()->Dpi + 48) / 96); }

// The conditions that gate the commands and the menu items.
bool IsIdle();
// Open for changes: appends, renames, prefixes and deletes alike (only writable formats open so).
bool IsWritable();
bool HasArchive();
bool HasRows();
bool IsTar();
bool HasAdditions();
