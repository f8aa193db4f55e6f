#include "jobs/format_template.h"

namespace {
constexpr uint32_t kMaxFractionDigits = 7;
constexpr double kLargestWhole = 4294967295.0;

// Appends one character while the text stays within its limit.
void Put(char16_t* out, uint32_t* n, char16_t c) {
  if (*n < kFormatMaxChars) out[(*n)++] = c;
}

// Copies up to the first "%" (or the end) and returns where the copy stopped.
const char16_t* CopyPrefix(char16_t* out, uint32_t* n, const char16_t* pattern) {
  while (*pattern != u'\0' && *pattern != u'%') Put(out, n, *pattern++);
  return pattern;
}

void CopySuffix(char16_t* out, uint32_t* n, const char16_t* suffix) {
  while (*suffix != u'\0') Put(out, n, *suffix++);
}

void PutDigits(char16_t* out, uint32_t* n, uint32_t value, uint32_t base, uint32_t minDigits) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  char16_t reversed[32];
  uint32_t count = 0;
  do {
    reversed[count++] = kDigits[value % base];
    value /= base;
  } while (value != 0);
  while (count < minDigits) reversed[count++] = u'0';
  while (count > 0) Put(out, n, reversed[--count]);
}

uint32_t Finish(char16_t* out, uint32_t n) {
  out[n] = u'\0';
  return n;
}

// Truncation into 32 bits; NaN and negatives become 0, overlarge values the maximum, so a
// caller's bad number never reaches an undefined conversion.
uint32_t TruncateToUInt(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= kLargestWhole) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(value);
}
}  // namespace

uint32_t FormatUInt(char16_t* out, const char16_t* pattern, uint32_t value) {
  uint32_t n = 0;
  const char16_t* at = CopyPrefix(out, &n, pattern);
  if (*at == u'\0') return Finish(out, n);
  char16_t letter = at[1];
  PutDigits(out, &n, value, letter == u'x' ? 16 : 10, 1);
  if (letter != u'\0') CopySuffix(out, &n, at + 2);
  return Finish(out, n);
}

uint32_t FormatText(char16_t* out, const char16_t* text) {
  uint32_t n = 0;
  CopySuffix(out, &n, text);
  return Finish(out, n);
}

uint32_t FormatFixed(char16_t* out, const char16_t* pattern, double value) {
  uint32_t n = 0;
  const char16_t* at = CopyPrefix(out, &n, pattern);
  if (at[0] != u'%' || at[1] != u'.' || at[2] < u'0' || at[2] > u'0' + kMaxFractionDigits ||
      at[3] != u'f')
    return Finish(out, n);
  uint32_t digits = static_cast<uint32_t>(at[2] - u'0');
  uint32_t scale = 1;
  for (uint32_t i = 0; i < digits; ++i) scale *= 10;
  double rounded = value + 0.5 / scale;
  uint32_t whole = TruncateToUInt(rounded);
  uint32_t fraction = TruncateToUInt((rounded - whole) * scale);
  if (fraction >= scale) fraction = scale - 1;  // a product that rounded up to the scale itself
  PutDigits(out, &n, whole, 10, 1);
  if (digits > 0) {
    Put(out, &n, u'.');
    PutDigits(out, &n, fraction, 10, digits);
  }
  CopySuffix(out, &n, at + 4);
  return Finish(out, n);
}
