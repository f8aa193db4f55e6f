#include <ctime>

#include "platform/local_time.h"

namespace {
// The zone's offset east of UTC now, daylight saving included, in FILETIME units.
bool OffsetNow(int64_t* offset) {
  const time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local) == nullptr) return false;
  *offset = static_cast<int64_t>(local.tm_gmtoff) * 10000000;
  return true;
}

// time + delta, false below 0.
bool Shift(uint64_t time, int64_t delta, uint64_t* out) {
  if (delta < 0 && time < static_cast<uint64_t>(-delta)) return false;
  *out = time + static_cast<uint64_t>(delta);
  return true;
}
}  // namespace

bool LocalFileTimeToUtc(uint64_t localTime, uint64_t* utc) {
  int64_t offset = 0;
  return OffsetNow(&offset) && Shift(localTime, -offset, utc);
}

bool UtcToLocalFileTime(uint64_t utc, uint64_t* localTime) {
  int64_t offset = 0;
  return OffsetNow(&offset) && Shift(utc, offset, localTime);
}
