#include "core/names.h"

namespace {
constexpr char16_t kReplacementCharacter = 0xFFFD;

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

// Length of the well-formed sequence that starts at bytes[0] (Unicode's table of well-formed
// byte sequences: no overlong forms, no surrogates, nothing above U+10FFFF), or 0 when it is
// not one. *valid tells how many of its bytes were right before it went wrong (at least 1).
uint32_t SequenceLength(const uint8_t* bytes, uint32_t count, uint32_t* valid) {
  uint32_t b = bytes[0];
  *valid = 1;
  if (b < 0x80) return 1;
  uint32_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (uint32_t i = 1; i < length; ++i) {
    if (i >= count) return 0;
    uint8_t c = bytes[i];
    bool inRange = i == 1 ? (c >= low && c <= high) : (c >= 0x80 && c <= 0xBF);
    if (!inRange) return 0;
    *valid = i + 1;
  }
  return length;
}

uint32_t DecodeSequence(const uint8_t* bytes, uint32_t length) {
  static constexpr uint8_t kLeadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  uint32_t cp = bytes[0] & kLeadMask[length];
  for (uint32_t i = 1; i < length; ++i) cp = (cp << 6) | (bytes[i] & 0x3Fu);
  return cp;
}

uint32_t BytesBeforeZero(const uint8_t* bytes, uint32_t count) {
  uint32_t n = 0;
  while (n < count && bytes[n] != 0) ++n;
  return n;
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
  uint32_t n = BytesBeforeZero(bytes, count);
  uint32_t i = 0;
  while (i < n) {
    uint32_t valid = 0;
    uint32_t length = SequenceLength(bytes + i, n - i, &valid);
    if (length != 0) {
      out = PutWide(out, DecodeSequence(bytes + i, length));
      i += length;
    } else if (n == count && i + valid == n) {
      break;  // a sequence cut by the end of a full field: the writer cut the name there
    } else {
      *out++ = kReplacementCharacter;  // never a byte's own value: C0 AE must not become "."
      i += valid;
    }
  }
  *out = 0;
}

bool IsUtf8Text(const uint8_t* bytes, uint32_t count) {
  uint32_t n = BytesBeforeZero(bytes, count);
  bool nonAscii = false;
  for (uint32_t i = 0; i < n;) {
    uint32_t valid = 0;
    uint32_t length = SequenceLength(bytes + i, n - i, &valid);
    if (length == 0) return false;
    nonAscii = nonAscii || length > 1;
    i += length;
  }
  return nonAscii;
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
