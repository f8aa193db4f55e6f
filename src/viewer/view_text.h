// Page bytes as text in the viewer's four encodings.
#pragma once

#include <cstdint>
#include <string>

// One byte per character, up to the first zero byte; bare line feeds get a carriage return.
std::u16string AnsiText(const uint8_t* bytes, uint32_t count);
// UTF-8 up to the first zero byte; bare line feeds get a carriage return.
std::u16string Utf8Text(const uint8_t* bytes, uint32_t count);
// count / 2 UTF-16 units (an odd last byte is ignored) up to the first zero unit; lone
// surrogates become spaces.
std::u16string Utf16Text(const uint8_t* bytes, uint32_t count, bool bigEndian);
// A carriage return before every line feed that lacks one, so that each shows as a line
// break in an edit control.
std::u16string WithCarriageReturns(const std::u16string& text);
