#include "jobs/format_duration.h"

#include "jobs/format_template.h"

namespace {
constexpr double kSecondsPerYear = 31536000.0;
constexpr double kDaysPerYear = 365.0;
constexpr double kTooLongYears = 1000000000.0;
constexpr double kMillionYears = 1000000.0;
constexpr double kThousandYears = 1000.0;
constexpr double kCenturyYears = 100.0;
constexpr uint32_t kWholeYearsLimit = 10000;
// 0.1 as a single-precision value: below it nothing has been measured yet.
constexpr double kShortestShown = 0.10000000149011612;

// Each unit the truncated remainder of the one above, in this order and in doubles, so that
// the same texts come out at the edges (120 seconds reads "1 minute, 59 seconds").
struct Breakdown {
  double years, days, hours, minutes, seconds;
  uint32_t Y, D, H, M, S;
};

Breakdown BreakDown(double t) {
  Breakdown b;
  b.years = t / kSecondsPerYear;
  b.Y = static_cast<uint32_t>(b.years);
  b.days = (b.years - b.Y) * kDaysPerYear;
  b.D = static_cast<uint32_t>(b.days);
  b.hours = (b.days - b.D) * 24.0;
  b.H = static_cast<uint32_t>(b.hours);
  b.minutes = (b.hours - b.H) * 60.0;
  b.M = static_cast<uint32_t>(b.minutes);
  b.seconds = (b.minutes - b.M) * 60.0;
  b.S = static_cast<uint32_t>(b.seconds);
  return b;
}

struct Unit {
  const char16_t* first;
  const char16_t* second;
};
constexpr Unit kYear = {u"%u year", u", %u year"};
constexpr Unit kDay = {u"%u day", u", %u day"};
constexpr Unit kHour = {u"%u hour", u", %u hour"};
constexpr Unit kMinute = {u"%u minute", u", %u minute"};
constexpr Unit kSecond = {u"%u second", u", %u second"};

// Appends "count unit", plural above 1, behind what out already holds.
uint32_t AppendPart(char16_t* out, uint32_t n, const char16_t* pattern, uint32_t count) {
  char16_t part[kFormatBufferChars];
  uint32_t length = FormatUInt(part, pattern, count);
  for (uint32_t i = 0; i < length && n < kFormatMaxChars; ++i) out[n++] = part[i];
  if (count > 1 && n < kFormatMaxChars) out[n++] = u's';
  out[n] = u'\0';
  return n;
}

uint32_t TwoParts(char16_t* out, const Unit& first, uint32_t count, const Unit* second,
                  uint32_t secondCount) {
  uint32_t n = AppendPart(out, 0, first.first, count);
  if (second != nullptr) n = AppendPart(out, n, second->second, secondCount);
  return n;
}

uint32_t FormatUnderAYear(char16_t* out, double t, const Breakdown& b) {
  if (b.D > 0)
    return TwoParts(out, kDay, b.D, b.H > 0 ? &kHour : b.M > 0 ? &kMinute : nullptr,
                    b.H > 0 ? b.H : b.M);
  if (b.H > 0)
    return TwoParts(out, kHour, b.H, b.M > 0 ? &kMinute : b.S > 0 ? &kSecond : nullptr,
                    b.M > 0 ? b.M : b.S);
  if (b.M > 0) return TwoParts(out, kMinute, b.M, b.S > 0 ? &kSecond : nullptr, b.S);
  if (b.S < 60) {
    if (t < kShortestShown) return FormatText(out, u"0 seconds");
    return FormatFixed(out, u"%.1f seconds", b.seconds);
  }
  return AppendPart(out, 0, kSecond.first, b.S);  // 60 after rounding: plural
}
}  // namespace

uint32_t FormatDuration(char16_t* out, double seconds) {
  double t = seconds > 0 ? seconds : 0.0;  // NaN compares false and becomes 0 too
  if (t / kSecondsPerYear >= kTooLongYears) return FormatText(out, u"too long");
  Breakdown b = BreakDown(t);
  if (b.years < 1.0) return FormatUnderAYear(out, t, b);
  if (b.years < kCenturyYears) return TwoParts(out, kYear, b.Y, b.D > 0 ? &kDay : nullptr, b.D);
  if (b.years < kMillionYears) {
    if (b.Y < kWholeYearsLimit) return FormatUInt(out, u"%u years", b.Y);
    return FormatUInt(out, u"%u thousand years", static_cast<uint32_t>(b.years / kThousandYears));
  }
  return FormatUInt(out, u"%u million years", static_cast<uint32_t>(b.years / kMillionYears));
}
