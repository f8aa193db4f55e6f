#include "core/names.h"

namespace {
bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

uint32_t Utf8Length(uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

uint8_t* PutUtf8(uint8_t* out, uint32_t cp) {
  if (cp < 0x80) {
    *out++ = static_cast<uint8_t>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<uint8_t>(0xC0 | (cp >> 6));
    *out++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = static_cast<uint8_t>(0xE0 | (cp >> 12));
    *out++ = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<uint8_t>(0xF0 | (cp >> 18));
    *out++ = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
  }
  return out;
}

char16_t* PutWide(char16_t* out, uint32_t cp) {
  if (cp < 0xD800 || (cp >= 0xE000 && cp <= 0xFFFF)) {
    *out++ = static_cast<char16_t>(cp);
  } else if (cp >= 0x10000 && cp <= 0x10FFFF) {
    cp -= 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
  return out;
}
}  // namespace

uint32_t WideLength(const char16_t* wide) {
  uint32_t n = 0;
  while (wide[n] != 0) ++n;
  return n;
}

uint32_t WideToUtf8(const char16_t* wide, uint8_t* out, uint32_t capacity) {
  if (capacity == 0) return 0;
  uint32_t n = 0;
  uint32_t held = 0;  // a high surrogate waiting for its low half
  for (const char16_t* p = wide; *p != 0; ++p) {
    uint32_t u = *p;
    uint32_t cp = u;
    if (IsHighSurrogate(u)) {
      held = u;
      continue;
    }
    if (IsLowSurrogate(u)) {
      cp = held != 0 ? 0x10000 + ((held - 0xD800) << 10) + (u - 0xDC00) : 0;
      held = 0;
      if (cp == 0) continue;
    }
    if (n + Utf8Length(cp) >= capacity) break;
    n = static_cast<uint32_t>(PutUtf8(out + n, cp) - out);
  }
  out[n] = 0;
  return n;
}

void Utf8ToWide(const uint8_t* bytes, uint32_t count, char16_t* out) {
  uint32_t pending = 0;  // continuation bytes still expected
  uint32_t cp = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t b = bytes[i];
    if (b < 0x80) {
      *out++ = static_cast<char16_t>(b);  // an ASCII byte never joins a sequence
    } else if (pending != 0) {
      cp = (cp << 6) | (b & 0x3F);
      if (--pending == 0) out = PutWide(out, cp);
    } else if (b < 0xE0) {
      cp = b & 0x1F;
      pending = 1;
    } else if (b < 0xF0) {
      cp = b & 0x0F;
      pending = 2;
    } else if (b < 0xF8) {
      cp = b & 0x07;
      pending = 3;
    }
  }
  *out = 0;
}

uint32_t WideToBytes(const char16_t* wide, uint8_t* out, uint32_t capacity) {
  if (capacity == 0) return 0;
  uint32_t n = 0;
  for (; wide[n] != 0 && n + 1 < capacity; ++n) out[n] = static_cast<uint8_t>(wide[n] & 0xFF);
  out[n] = 0;
  return n;
}

void BytesToWide(const uint8_t* bytes, uint32_t count, char16_t* out) {
  for (uint32_t i = 0; i < count; ++i) out[i] = bytes[i];
  out[count] = 0;
}
