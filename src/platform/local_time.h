// Local wall-clock times to UTC, for formats that store local times (the DOS dates of ZIP).
#pragma once

#include <cstdint>

// Both values are FILETIME. The zone's offset in force now is applied, whatever the date:
// Windows' LocalFileTimeToFileTime does so, and an archive made and read on the same machine
// then shows the times its files had. On POSIX the zone is the process's (TZ or the system
// setting), daylight saving included when it is in force at this moment. False when the
// result would fall before 1601.
bool LocalFileTimeToUtc(uint64_t localTime, uint64_t* utc);
// The reverse, with the same offset, so that a time written as local time and read back
// on the same machine comes back as it was. False when the result would fall before 1601.
bool UtcToLocalFileTime(uint64_t utc, uint64_t* localTime);
