// The two small template formatters that stand in for formatted printing everywhere:
// no locale, "." as the decimal separator, at most 63 characters and a terminator.
#pragma once

#include <cstdint>

inline constexpr uint32_t kFormatBufferChars = 64;
inline constexpr uint32_t kFormatMaxChars = kFormatBufferChars - 1;

// Template: a prefix, "%" and a letter ("x" hexadecimal, any other decimal), a suffix.
// Writes into out (kFormatBufferChars units) and returns the characters written.
uint32_t FormatUInt(char16_t* out, const char16_t* pattern, uint32_t value);
// Copies a plain text under the same limit.
uint32_t FormatText(char16_t* out, const char16_t* text);
// Template: a prefix, "%.Nf" with N from 0 to 7, a suffix; rounds half up. A template of
// any other form gives the prefix alone.
uint32_t FormatFixed(char16_t* out, const char16_t* pattern, double value);
