// The elapsed and remaining times of the progress display.
#pragma once

#include <cstdint>

// "0 seconds", "12.5 seconds", "2 hours, 5 seconds", "3 years, 12 days", "10 thousand years",
// "too long". Writes into out (kFormatBufferChars units) and returns the characters written.
uint32_t FormatDuration(char16_t* out, double seconds);
