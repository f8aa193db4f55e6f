// The four preferences in the registry under HKEY_CURRENT_USER.
#pragma once

#include "jobs/main_state.h"

inline constexpr wchar_t kSettingsKey[] = L"Software\\Corvatek\\Quillbox";

// Missing key or values leave the fields 0; only the lowest bit of each value counts.
void ReadSettings(Settings* settings);
// Writes all four as REG_DWORD; nothing is written when the key cannot be created.
void SaveSettings(const Settings* settings);
