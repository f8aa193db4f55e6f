// Windows FILETIME (100 ns units since 1601-01-01 UTC) against Unix seconds.
#pragma once

#include <cstdint>

inline constexpr uint64_t kFileTimeUnixEpoch = 11644473600ULL;  // seconds from 1601 to 1970
inline constexpr uint64_t kFileTimeTicksPerSecond = 10000000ULL;

inline constexpr uint64_t UnixToFileTime(uint64_t seconds) {
  return (seconds + kFileTimeUnixEpoch) * kFileTimeTicksPerSecond;
}

// Whole seconds since 1970; times before 1970 become 0.
inline constexpr uint64_t FileTimeToUnix(uint64_t fileTime) {
  uint64_t seconds = fileTime / kFileTimeTicksPerSecond;
  return seconds > kFileTimeUnixEpoch ? seconds - kFileTimeUnixEpoch : 0;
}
