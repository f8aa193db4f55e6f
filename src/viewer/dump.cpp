#include "viewer/dump.h"

namespace {
constexpr uint32_t kOffsetChars = 10;  // 8 digits and two spaces
constexpr uint32_t kHexGroupBytes = 8;
constexpr char16_t kHexUpper[] = u"0123456789ABCDEF";
constexpr char16_t kHexLower[] = u"0123456789abcdef";

uint64_t LineCount(uint32_t count, uint32_t bytesPerLine) {
  return (uint64_t{count} + bytesPerLine - 1) / bytesPerLine;
}

// The offset wraps at 4 GiB: pages beyond it still show 8 digits.
void PutOffset(std::u16string& text, uint64_t offset) {
  uint32_t value = static_cast<uint32_t>(offset);
  for (int shift = 28; shift >= 0; shift -= 4) text.push_back(kHexLower[(value >> shift) & 0xF]);
  text.append(u"  ");
}

bool ShowsAsSpace(uint8_t byte) { return (byte & 0x7F) < 33 || byte == 127; }
}  // namespace

uint64_t HexDumpLength(uint32_t count) {
  // Three characters a byte, one more behind every eighth (a wider gap or the line break).
  return kOffsetChars * LineCount(count, kHexDumpLineBytes) + 3 * uint64_t{count} +
         count / kHexGroupBytes;
}

uint64_t TextDumpLength(uint32_t count, uint32_t bytesPerLine) {
  return kOffsetChars * LineCount(count, bytesPerLine) + count + 2 * uint64_t{count / bytesPerLine};
}

std::u16string HexDump(const uint8_t* bytes, uint32_t count, uint64_t baseOffset) {
  std::u16string text;
  text.reserve(HexDumpLength(count));
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t column = i % kHexDumpLineBytes;
    if (column == 0) PutOffset(text, baseOffset + i);
    text.push_back(kHexUpper[bytes[i] >> 4]);
    text.push_back(kHexUpper[bytes[i] & 0xF]);
    if (column == kHexDumpLineBytes - 1)
      text.append(u"\r\n");
    else if (column % kHexGroupBytes == kHexGroupBytes - 1)
      text.append(u"  ");
    else
      text.push_back(u' ');
  }
  return text;
}

std::u16string TextDump(const uint8_t* bytes, uint32_t count, uint32_t bytesPerLine,
                        uint64_t baseOffset) {
  std::u16string text;
  if (bytesPerLine == 0) return text;
  text.reserve(TextDumpLength(count, bytesPerLine));
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t column = i % bytesPerLine;
    if (column == 0) PutOffset(text, baseOffset + i);
    text.push_back(ShowsAsSpace(bytes[i]) ? u' ' : static_cast<char16_t>(bytes[i]));
    if (column == bytesPerLine - 1) text.append(u"\r\n");
  }
  return text;
}
