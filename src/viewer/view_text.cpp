#include "viewer/view_text.h"

#include "core/names.h"

namespace {
bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

uint32_t BytesBeforeZero(const uint8_t* bytes, uint32_t count) {
  uint32_t n = 0;
  while (n < count && bytes[n] != 0) ++n;
  return n;
}

char16_t UnitAt(const uint8_t* bytes, uint32_t index, bool bigEndian) {
  uint8_t first = bytes[2 * index], second = bytes[2 * index + 1];
  return bigEndian ? static_cast<char16_t>(first << 8 | second)
                   : static_cast<char16_t>(second << 8 | first);
}
}  // namespace

std::u16string WithCarriageReturns(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 8);
  char16_t previous = u'\0';
  for (char16_t c : text) {
    if (c == u'\n' && previous != u'\r') out.push_back(u'\r');
    out.push_back(c);
    previous = c;
  }
  return out;
}

std::u16string AnsiText(const uint8_t* bytes, uint32_t count) {
  uint32_t n = BytesBeforeZero(bytes, count);
  std::u16string wide(n + 1, u'\0');
  BytesToWide(bytes, n, wide.data());
  wide.resize(n);
  return WithCarriageReturns(wide);
}

std::u16string Utf8Text(const uint8_t* bytes, uint32_t count) {
  uint32_t n = BytesBeforeZero(bytes, count);
  std::u16string wide(n + 1, u'\0');
  Utf8ToWide(bytes, n, wide.data());
  wide.resize(WideLength(wide.c_str()));
  return WithCarriageReturns(wide);
}

std::u16string Utf16Text(const uint8_t* bytes, uint32_t count, bool bigEndian) {
  uint32_t units = count / 2;
  std::u16string text;
  text.reserve(units);
  for (uint32_t i = 0; i < units; ++i) {
    char16_t u = UnitAt(bytes, i, bigEndian);
    if (u == u'\0') break;
    bool paired = IsHighSurrogate(u) ? i + 1 < units && IsLowSurrogate(UnitAt(bytes, i + 1, bigEndian))
                  : IsLowSurrogate(u) ? !text.empty() && IsHighSurrogate(text.back())
                                      : true;
    text.push_back(paired ? u : u' ');
  }
  return text;
}
