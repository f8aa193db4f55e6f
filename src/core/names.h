// The one way member names cross between wide text (UTF-16) and header bytes.
#pragma once

#include <cstdint>

// UTF-16 up to its terminator into UTF-8 with a terminating zero, in at most capacity
// bytes terminator included: the text ends before the first character that would not fit
// whole. Lone surrogates are dropped. Returns the bytes written before the terminator.
uint32_t WideToUtf8(const char16_t* wide, uint8_t* out, uint32_t capacity);
// At most count bytes, up to the first zero, into an output of count + 1 units. Every
// ill-formed sequence (overlong, surrogate, above U+10FFFF, stray or cut byte) becomes
// U+FFFD, except a sequence cut by the end of a field that the text fills: the writer cut
// the name there, and it is dropped.
void Utf8ToWide(const uint8_t* bytes, uint32_t count, char16_t* out);
// True when the bytes up to the first zero are well-formed UTF-8 with at least one
// character outside ASCII: text that a writer meant as UTF-8.
bool IsUtf8Text(const uint8_t* bytes, uint32_t count);
// Latin-1 both ways: each unit's low 8 bits, and each byte as the character of its value.
// WideToBytes writes at most capacity bytes, terminator included, and returns the others.
uint32_t WideToBytes(const char16_t* wide, uint8_t* out, uint32_t capacity);
void BytesToWide(const uint8_t* bytes, uint32_t count, char16_t* out);

// Length in units up to the terminator.
uint32_t WideLength(const char16_t* wide);
