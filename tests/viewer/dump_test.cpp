// Hexadecimal and character dumps: line layout, sizes computed in advance, wrapping offsets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/narrow.h"
#include "viewer/dump.h"

namespace {
std::vector<uint8_t> Counting(uint32_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint32_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

TEST(HexDump, LinesAndOffsets) {
  struct Case { const char* what; uint32_t count; uint64_t base; std::string text; };
  const std::string fullLine =
      "00000000  00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  "
      "10 11 12 13 14 15 16 17  18 19 1A 1B 1C 1D 1E 1F\r\n";
  const Case cases[] = {
      {"nothing", 0, 0, ""},
      {"one byte keeps its trailing space", 1, 0, "00000000  00 "},
      {"eighth byte has the wider gap", 8, 0, "00000000  00 01 02 03 04 05 06 07  "},
      {"a full line ends with CR LF", 32, 0, fullLine},
      {"a short last line has no break", 33, 0, fullLine + "00000020  20 "},
      {"page offsets", 1, 0x40000, "00040000  00 "},
      {"beyond 4 GiB the offset wraps", 1, 0x100000010ull, "00000010  00 "},
      {"wrap inside a page", 33, 0xFFFFFFF0ull,
       "fffffff0  00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  10 11 12 13 14 15 16 17  "
       "18 19 1A 1B 1C 1D 1E 1F\r\n00000010  20 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = Counting(c.count);
    std::u16string text = HexDump(bytes.data(), c.count, c.base);
    EXPECT_EQ(Narrow(text), c.text);
    EXPECT_EQ(text.size(), HexDumpLength(c.count));
  }
}

TEST(TextDump, CharactersLinesAndSizes) {
  const std::vector<uint8_t> shown = {0x00, 0x09, 0x20, 0x21, 0x41, 0x7E, 0x7F,
                                      0x80, 0x9F, 0xA0, 0xA1, 0xE9, 0xFF};
  std::u16string text = TextDump(shown.data(), static_cast<uint32_t>(shown.size()), 64, 0);
  EXPECT_EQ(text, u"00000000     !A~    \u00A1\u00E9\u00FF");

  struct Case { const char* what; uint32_t count; uint32_t width; uint64_t base; std::string text; };
  const std::string x64(64, 'x');
  const Case cases[] = {
      {"empty", 0, 64, 0, ""},
      {"a full line ends with CR LF", 64, 64, 0x40000, "00040000  " + x64 + "\r\n"},
      {"a short last line has no break", 65, 64, 0x40000, "00040000  " + x64 + "\r\n00040040  x"},
      {"wide, past 4 GiB the offset wraps", 130, 128, 0x100000000ull,
       "00000000  " + x64 + x64 + "\r\n00000080  xx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes(c.count, 'x');
    std::u16string dump = TextDump(bytes.data(), c.count, c.width, c.base);
    EXPECT_EQ(Narrow(dump), c.text);
    EXPECT_EQ(dump.size(), TextDumpLength(c.count, c.width));
  }
}
}  // namespace
