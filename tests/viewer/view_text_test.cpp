// The four text views (where they stop, line feeds, odd lengths, lone surrogates) and the
// hexadecimal and character dumps (line layout, sizes computed in advance, wrapping offsets).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/narrow.h"
#include "support/test_files.h"
#include "viewer/dump.h"
#include "viewer/view_text.h"

namespace {
TEST(ViewText, AnsiAndUtf8) {
  struct Case { const char* what; bool utf8; Bytes bytes; std::u16string text; };
  const Case cases[] = {
      {"ANSI ends at a zero byte", false, Bytes{'a', 'b', 0, 'c'}, u"ab"},
      {"bare line feeds get a carriage return", false, BytesOf("one\ntwo\nthree"), u"one\r\ntwo\r\nthree"},
      {"pairs are unchanged", false, BytesOf("one\r\ntwo\r\n"), u"one\r\ntwo\r\n"},
      {"a leading line feed and blank lines", false, BytesOf("\n\n\r\n"), u"\r\n\r\n\r\n"},
      {"a lone carriage return stays", false, BytesOf("a\rb"), u"a\rb"},
      {"UTF-8 decodes", true, BytesOf("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), u"caf\u00E9 \u20AC \U0001F600"},
      {"UTF-8 ends at a zero byte", true, Bytes{'x', 0, 'y'}, u"x"},
      {"UTF-8 line feeds", true, BytesOf("\xC3\xA9\n"), u"\u00E9\r\n"},
      {"a sequence cut at the page end is dropped", true, BytesOf("ab\xE2\x82"), u"ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t n = static_cast<uint32_t>(c.bytes.size());
    EXPECT_EQ(c.utf8 ? Utf8Text(c.bytes.data(), n) : AnsiText(c.bytes.data(), n), c.text);
  }
}

TEST(ViewText, Utf16BothOrders) {
  struct Case { const char* what; Bytes littleEndian; std::u16string text; };
  const Case cases[] = {
      {"plain units", Bytes{'h', 0, 'i', 0}, u"hi"},
      {"an odd last byte is ignored", Bytes{'h', 0, 'i', 0, 'x'}, u"hi"},
      {"ends at the first zero unit", Bytes{'a', 0, 0, 0, 'b', 0}, u"a"},
      {"a zero byte inside a unit does not end it", Bytes{0, 0x4E, 'b', 0}, u"\u4E00b"},
      {"a pair stays", Bytes{0x3D, 0xD8, 0x00, 0xDE}, u"\U0001F600"},
      {"a lone high surrogate", Bytes{0x3D, 0xD8, 'a', 0}, u" a"},
      {"a high surrogate at the end", Bytes{'a', 0, 0x3D, 0xD8}, u"a "},
      {"a lone low surrogate", Bytes{'a', 0, 0x00, 0xDE}, u"a "},
      {"two highs then a low", Bytes{0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE}, u" \U0001F600"},
      {"line feeds stay as they are", Bytes{'a', 0, '\n', 0}, u"a\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t n = static_cast<uint32_t>(c.littleEndian.size());
    EXPECT_EQ(Utf16Text(c.littleEndian.data(), n, false), c.text);
    Bytes swapped = c.littleEndian;
    for (uint32_t i = 0; i + 1 < n; i += 2) std::swap(swapped[i], swapped[i + 1]);
    EXPECT_EQ(Utf16Text(swapped.data(), n, true), c.text);
  }
}

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
