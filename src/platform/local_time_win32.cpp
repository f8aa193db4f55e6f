#include <windows.h>

#include "platform/local_time.h"

bool LocalFileTimeToUtc(uint64_t localTime, uint64_t* utc) {
  FILETIME local{static_cast<DWORD>(localTime), static_cast<DWORD>(localTime >> 32)};
  FILETIME result;
  if (!LocalFileTimeToFileTime(&local, &result)) return false;
  *utc = static_cast<uint64_t>(result.dwHighDateTime) << 32 | result.dwLowDateTime;
  return true;
}

bool UtcToLocalFileTime(uint64_t utc, uint64_t* localTime) {
  FILETIME from{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
  FILETIME result;
  if (!FileTimeToLocalFileTime(&from, &result)) return false;
  *localTime = static_cast<uint64_t>(result.dwHighDateTime) << 32 | result.dwLowDateTime;
  return true;
}
