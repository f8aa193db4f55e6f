// The preferences in the registry under HKEY_CURRENT_USER.
#pragma once

#include "jobs/main_state.h"

inline constexpr wchar_t kSettingsKey[] = L"Software\\Corvatek\\Quillbox";

// Missing key or values leave the switches 0 and the ZIP level normal; only the lowest bit of
// each switch counts, and a level beyond the known ones reads as normal.
void ReadSettings(Settings* settings);
// Writes them all as REG_DWORD; nothing is written when the key cannot be created.
void SaveSettings(const Settings* settings);
