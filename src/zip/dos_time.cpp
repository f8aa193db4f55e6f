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

// The date of a day counted from 1970-01-01 (days >= 0).
void CivilFromDays(int64_t days, uint32_t* year, uint32_t* month, uint32_t* day) {
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  *day = static_cast<uint32_t>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  *month = static_cast<uint32_t>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  *year = static_cast<uint32_t>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

constexpr uint16_t kFirstDosDate = (1 << 5) | 1;                       // 1980-01-01
constexpr uint16_t kLastDosDate = (127 << 9) | (12 << 5) | 31;         // 2107-12-31
constexpr uint16_t kLastDosTime = (23 << 11) | (59 << 5) | 29;         // 23:59:58
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

void UtcToDosTime(uint64_t utc, uint16_t* date, uint16_t* time) {
  uint64_t local = 0;
  if (!UtcToLocalFileTime(utc, &local)) local = 0;
  const uint64_t seconds = local / kFileTimeTicksPerSecond;
  const uint64_t first = static_cast<uint64_t>(DaysFromCivil(kDosBaseYear, 1, 1) + kDaysFrom1601To1970) * kSecondsPerDay;
  if (seconds < first) {
    *date = kFirstDosDate;
    *time = 0;
    return;
  }
  uint32_t year = 0, month = 0, day = 0;
  CivilFromDays(static_cast<int64_t>(seconds / kSecondsPerDay) - kDaysFrom1601To1970, &year, &month, &day);
  if (year > kDosBaseYear + 127) {
    *date = kLastDosDate;
    *time = kLastDosTime;
    return;
  }
  const uint32_t inDay = static_cast<uint32_t>(seconds % kSecondsPerDay);
  *date = static_cast<uint16_t>((year - kDosBaseYear) << 9 | month << 5 | day);
  *time = static_cast<uint16_t>((inDay / 3600) << 11 | (inDay / 60 % 60) << 5 | (inDay % 60) / 2);
}
