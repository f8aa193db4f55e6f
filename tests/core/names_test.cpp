// Member names between UTF-16 and header bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/names.h"
#include "support/case_name.h"

namespace {
std::u16string FromUtf8(const std::string& bytes, uint32_t count) {
  std::string padded = bytes;
  padded.resize(count, '\0');
  std::u16string out(count + 1, u'\0');
  Utf8ToWide(reinterpret_cast<const uint8_t*>(padded.data()), count, out.data());
  return std::u16string(out.c_str());
}

TEST(Names, Utf8ToWide) {
  struct Case {
    const char* what;
    std::string bytes;
    uint32_t count;
    std::u16string wide;
  };
  const Case cases[] = {
      {"ascii", "name.txt", 100, u"name.txt"},
      {"four bytes become a surrogate pair", "\xF0\x9F\x98\x80", 100, u"\U0001F600"},
      {"sequence cut at 99 bytes", std::string(98, 'a') + "\xC3\xA9", 99, std::u16string(98, u'a')},
      {"sequence cut at 256 bytes", std::string(254, 'a') + "\xE2\x82\xAC", 256, std::u16string(254, u'a')},
      {"ascii inside a sequence is a character", "\xE2" "a\x82\xAC", 100, u"a\u20AC"},
      {"bytes F8 and above are ignored", "a\xF8\xFF" "b", 100, u"ab"},
      {"surrogate code points dropped", "\xED\xA0\x80z", 100, u"z"},
      {"above U+10FFFF dropped", "\xF7\xBF\xBF\xBFz", 100, u"z"},
      {"text ends at the first zero", std::string("ab\0cd", 5), 100, u"ab"},
      {"all bytes used, no terminator", std::string(100, 'q'), 100, std::u16string(100, u'q')},
  };
  for (const Case& c : cases) EXPECT_EQ(FromUtf8(c.bytes, c.count), c.wide) << c.what;
}

TEST(Names, BytesToWideIsLatin1) {
  const uint8_t bytes[4] = {0xE9, 0x80, 'a', 0};
  char16_t wide[5];
  BytesToWide(bytes, 4, wide);
  EXPECT_EQ(std::u16string(wide), u"\u00E9\u0080a");
}

// The encoders convert, never write past their capacity, and never write part of a character.
struct CapacityCase {
  const char* what;
  bool utf8;
  std::u16string wide;
  uint32_t capacity;
  std::string expected;
};

class NamesCapacity : public testing::TestWithParam<CapacityCase> {};

TEST_P(NamesCapacity, ConvertsInsideTheOutput) {
  const CapacityCase& c = GetParam();
  constexpr uint8_t kUntouched = 0xAA;
  uint8_t out[16];
  std::memset(out, kUntouched, sizeof out);
  uint32_t n = c.utf8 ? WideToUtf8(c.wide.c_str(), out, c.capacity) : WideToBytes(c.wide.c_str(), out, c.capacity);
  EXPECT_EQ(n, c.expected.size());
  if (c.capacity > 0) {
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), n), c.expected);
    EXPECT_EQ(out[n], 0);
  }
  for (uint32_t i = c.capacity; i < sizeof out; ++i) EXPECT_EQ(out[i], kUntouched) << "byte " << i;
}

const CapacityCase kCapacityCases[] = {
    {"utf8 ascii", true, u"abc", 16, "abc"},
    {"utf8 two and three bytes", true, u"\u00E9\u20AC", 16, "\xC3\xA9\xE2\x82\xAC"},
    {"utf8 surrogate pair", true, u"\U0001F600", 16, "\xF0\x9F\x98\x80"},
    {"utf8 characters between the halves", true, std::u16string{0xD83D, u'x', 0xDE00}, 16, "x\xF0\x9F\x98\x80"},
    {"utf8 second high surrogate replaces the first", true, std::u16string{0xD800, 0xD83D, 0xDE00}, 16, "\xF0\x9F\x98\x80"},
    {"utf8 lone low surrogate dropped", true, std::u16string{u'a', 0xDC00, u'b'}, 16, "ab"},
    {"utf8 held high surrogate at the end dropped", true, std::u16string{u'a', 0xD800}, 16, "a"},
    {"utf8 U+FFFF is three bytes", true, std::u16string{0xFFFF}, 16, "\xEF\xBF\xBF"},
    {"utf8 exact fit", true, u"abc", 4, "abc"},
    {"utf8 one short", true, u"abc", 3, "ab"},
    {"utf8 three bytes fit", true, u"a\u20AC", 5, "a\xE2\x82\xAC"},
    {"utf8 three bytes at the edge", true, u"a\u20AC", 4, "a"},
    {"utf8 surrogate pair at the edge", true, u"a\U0001F600", 5, "a"},
    {"utf8 only the terminator", true, u"abc", 1, ""},
    {"utf8 no room at all", true, u"abc", 0, ""},
    {"bytes exact fit", false, u"abc", 4, "abc"},
    {"bytes one short", false, u"abc", 3, "ab"},
    {"bytes no room at all", false, u"abc", 0, ""},
    {"bytes keep the low byte", false, u"\u00E9\u0141z", 16, "\xE9\x41z"},
};
INSTANTIATE_TEST_SUITE_P(Names, NamesCapacity, testing::ValuesIn(kCapacityCases), CaseName());
}  // namespace
