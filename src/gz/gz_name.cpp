#include <cstring>

#include "core/names.h"
#include "gz/gz.h"

namespace {
// File names are at most 255 units, so the UTF-8 form fits the buffer with room to spare.
constexpr uint32_t kMaxComponentUnits = 255;
constexpr char kDefaultName[] = "file";

bool IsTgz(const uint8_t* extension) {
  const char* tgz = ".tgz";
  for (uint32_t i = 0; i < 4; ++i) {
    uint8_t c = extension[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c + 32);
    if (c != static_cast<uint8_t>(tgz[i])) return false;
  }
  return extension[4] == 0;
}
}  // namespace

uint32_t GzDefaultName(const char16_t* archivePath, uint8_t* buffer) {
  const char16_t* component = archivePath;
  for (const char16_t* p = archivePath; *p != 0; ++p)
    if (*p == u'\\' || *p == u'/') component = p + 1;
  char16_t wide[kMaxComponentUnits + 1] = {};
  for (uint32_t i = 0; i < kMaxComponentUnits && component[i] != 0; ++i) wide[i] = component[i];
  std::memset(buffer, 0, kGzDefaultNameSize);
  uint32_t length = WideToUtf8(wide, buffer, kGzDefaultNameSize);
  uint8_t* dot = nullptr;
  for (uint32_t i = length; i > 0 && dot == nullptr; --i)
    if (buffer[i - 1] == '.') dot = buffer + i - 1;
  if (dot != nullptr) {
    if (IsTgz(dot)) {
      std::memcpy(dot, ".tar", 4);
    } else {
      length = static_cast<uint32_t>(dot - buffer);
      std::memset(dot, 0, kGzDefaultNameSize - length);
    }
  }
  if (length == 0) {
    std::memcpy(buffer, kDefaultName, sizeof kDefaultName);
    length = sizeof kDefaultName - 1;
  }
  return length;
}
