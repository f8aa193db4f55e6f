// ZIP's DOS date and time fields: a local time with two-second steps from 1980 to 2107.
#pragma once

#include <cstdint>

// The fields as a FILETIME in local time. False for a field out of range: month 0 or above
// 12, a day the month does not have, hour above 23, minute above 59, seconds above 58.
bool DosDateTimeToFileTime(uint16_t date, uint16_t time, uint64_t* fileTime);

// The fields as a UTC FILETIME, taking them as local time with the present offset from UTC;
// 0 when they are not a valid date.
uint64_t DosTimeToUtc(uint16_t date, uint16_t time);

// The DOS fields of a UTC FILETIME as local time with the present offset (the reverse of
// DosTimeToUtc), seconds rounded down to even; times outside 1980 to 2107 are held at the
// nearest end.
void UtcToDosTime(uint64_t utc, uint16_t* date, uint16_t* time);
