// The one way member names cross between wide text (UTF-16) and header bytes.
#pragma once

#include <cstdint>

// UTF-16 up to its terminator into UTF-8 with a terminating zero. Lone surrogates are
// dropped. No output limit: callers convert into a zeroed area of at least 4 bytes per
// unit plus one, then take the number of bytes their header holds.
void WideToUtf8(const char16_t* wide, uint8_t* out);
// Exactly count bytes into a zeroed output of count + 1 units; the text ends at the first
// zero. Incomplete sequences and code points without a UTF-16 form are dropped.
void Utf8ToWide(const uint8_t* bytes, uint32_t count, char16_t* out);
// Latin-1 both ways: each unit's low 8 bits, and each byte as the character of its value.
void WideToBytes(const char16_t* wide, uint8_t* out);
void BytesToWide(const uint8_t* bytes, uint32_t count, char16_t* out);

// Length in units up to the terminator.
uint32_t WideLength(const char16_t* wide);
