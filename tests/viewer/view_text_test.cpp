// The four text views: where they stop, line feeds, odd lengths and lone surrogates.
#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"
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
}  // namespace
