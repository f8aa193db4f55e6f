#include "app/window_memory.h"

#include "app/settings.h"

namespace {
constexpr wchar_t kPlacementValue[] = L"WindowPlacement";
constexpr wchar_t kColumnsValue[] = L"ColumnWidths";
constexpr wchar_t kSortColumnValue[] = L"SortColumn";
constexpr wchar_t kSortDirectionValue[] = L"SortDirection";

std::wstring RecentValue(size_t i) { return L"Recent" + std::to_wstring(i + 1); }

bool ReadBinary(HKEY key, const wchar_t* name, void* out, DWORD size) {
  DWORD got = size, type = 0;
  return RegQueryValueExW(key, name, nullptr, &type, static_cast<BYTE*>(out), &got) == ERROR_SUCCESS &&
         type == REG_BINARY && got == size;
}

bool ReadNumber(HKEY key, const wchar_t* name, DWORD* value) {
  DWORD size = sizeof *value, type = 0;
  return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
         type == REG_DWORD;
}

std::wstring ReadText(HKEY key, const wchar_t* name) {
  wchar_t text[MAX_PATH + 1] = {};
  DWORD size = sizeof text - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return L"";
  return text;
}

HKEY OpenForWriting() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}
}  // namespace

WindowMemory& Memory() {
  static WindowMemory memory{};
  return memory;
}

void ReadWindowMemory(WindowMemory* memory) {
  *memory = WindowMemory{};
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  for (size_t i = 0; i < kRecentArchives; ++i) {
    std::wstring path = ReadText(key, RecentValue(i).c_str());
    if (!path.empty()) memory->recent.push_back(path);
  }
  memory->hasPlacement = ReadBinary(key, kPlacementValue, &memory->placement, sizeof memory->placement) &&
                         memory->placement.length == sizeof memory->placement;
  memory->hasColumns = ReadBinary(key, kColumnsValue, memory->columnWidths, sizeof memory->columnWidths);
  DWORD column = 0, direction = 0;
  memory->hasSort = ReadNumber(key, kSortColumnValue, &column) && ReadNumber(key, kSortDirectionValue, &direction) &&
                    (column < kListColumnCount || column == kUnsorted);
  memory->sortColumn = column;
  memory->sortDirection = direction == 1 ? 1 : -1;
  RegCloseKey(key);
}

void SaveRecentArchives(const WindowMemory& memory) {
  HKEY key = OpenForWriting();
  if (key == nullptr) return;
  for (size_t i = 0; i < kRecentArchives; ++i) {
    if (i < memory.recent.size()) {
      const std::wstring& path = memory.recent[i];
      RegSetValueExW(key, RecentValue(i).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                     static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    } else {
      RegDeleteValueW(key, RecentValue(i).c_str());
    }
  }
  RegCloseKey(key);
}

void SaveWindowLayout(const WindowMemory& memory) {
  HKEY key = OpenForWriting();
  if (key == nullptr) return;
  if (memory.hasPlacement)
    RegSetValueExW(key, kPlacementValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&memory.placement),
                   sizeof memory.placement);
  if (memory.hasColumns)
    RegSetValueExW(key, kColumnsValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(memory.columnWidths),
                   sizeof memory.columnWidths);
  const DWORD column = memory.sortColumn, direction = memory.sortDirection == 1 ? 1 : 0;
  RegSetValueExW(key, kSortColumnValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&column), sizeof column);
  RegSetValueExW(key, kSortDirectionValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&direction), sizeof direction);
  RegCloseKey(key);
}

void RememberArchive(WindowMemory* memory, const wchar_t* path) {
  std::vector<std::wstring>& recent = memory->recent;
  for (size_t i = 0; i < recent.size(); ++i) {
    if (CompareStringOrdinal(recent[i].c_str(), -1, path, -1, TRUE) == CSTR_EQUAL) {
      recent.erase(recent.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  recent.insert(recent.begin(), path);
  if (recent.size() > kRecentArchives) recent.resize(kRecentArchives);
}

void ForgetRecent(WindowMemory* memory, size_t index) {
  if (index < memory->recent.size()) memory->recent.erase(memory->recent.begin() + static_cast<std::ptrdiff_t>(index));
}
