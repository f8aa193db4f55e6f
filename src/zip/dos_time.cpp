#include "zip/dos_time.h"

#include "core/filetime.h"
#include "platform/local_time.h"

namespace {
constexpr uint32_t kDosBaseYear = 1980;
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr uint32_t kSecondsPerDay = 86400;

bool IsLeapYear(uint32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

uint32_t DaysInMonth(uint32_t year, uint32_t month) {
  static constexpr uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, uint32_t month, uint32_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}
}  // namespace

bool DosDateTimeToFileTime(uint16_t date, uint16_t time, uint64_t* fileTime) {
  const uint32_t year = kDosBaseYear + (date >> 9);
  const uint32_t month = (date >> 5) & 15;
  const uint32_t day = date & 31;
  const uint32_t hour = time >> 11;
  const uint32_t minute = (time >> 5) & 63;
  const uint32_t second = (time & 31) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  const int64_t days = DaysFromCivil(year, month, day) + kDaysFrom1601To1970;
  const uint64_t seconds = static_cast<uint64_t>(days) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
  *fileTime = seconds * kFileTimeTicksPerSecond;
  return true;
}

uint64_t DosTimeToUtc(uint16_t date, uint16_t time) {
  uint64_t local = 0, utc = 0;
  if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToUtc(local, &utc)) return 0;
  return utc;
}
