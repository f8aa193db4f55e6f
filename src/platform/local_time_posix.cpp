#include <ctime>

#include "platform/local_time.h"

bool LocalFileTimeToUtc(uint64_t localTime, uint64_t* utc) {
  const time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local) == nullptr) return false;
  // tm_gmtoff: seconds east of UTC, daylight saving included.
  const int64_t offset = static_cast<int64_t>(local.tm_gmtoff) * 10000000;
  if (offset > 0 && localTime < static_cast<uint64_t>(offset)) return false;
  *utc = localTime - static_cast<uint64_t>(offset);
  return true;
}
