#include "app/settings.h"

#include <windows.h>

namespace {
struct SettingValue {
  const wchar_t* name;
  uint32_t Settings::*field;
  bool isSwitch;  // on or off by its lowest bit; otherwise a kCompress... level
};
// Read and written in this order.
constexpr SettingValue kValues[] = {
    {L"AnyPath", &Settings::AnyPath, true},
    {L"BaseFolder", &Settings::BaseFolder, true},
    {L"Hidden", &Settings::Hidden, true},
    {L"Unicode", &Settings::Unicode, true},
    {L"ZipLevel", &Settings::ZipLevel, false},
};
}  // namespace

void ReadSettings(Settings* settings) {
  settings->ZipLevel = kCompressNormal;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  for (const SettingValue& v : kValues) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(key, v.name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
        size == sizeof value)
      settings->*v.field = value;
  }
  RegCloseKey(key);
  for (const SettingValue& v : kValues) {
    if (v.isSwitch) settings->*v.field &= 1;
    else if (settings->*v.field > kCompressBest) settings->*v.field = kCompressNormal;
  }
}

void SaveSettings(const Settings* settings) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  for (const SettingValue& v : kValues) {
    DWORD value = settings->*v.field;
    RegSetValueExW(key, v.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  RegCloseKey(key);
}
