// Member names between UTF-16 and header bytes, and made safe as paths below the destination.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/member_name.h"
#include "core/names.h"
#include "core/output_name.h"
#include "support/case_name.h"

namespace {
// How a stored name's bytes become the text shown, extracted and cleaned.
enum class Read { kUtf8, kUtf8FullField, kTarWithoutSetting, kLatin1, kOem };

struct DecodeCase { const char* what; std::string bytes; Read as; std::u16string text; };
class NameDecoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(NameDecoding, GivesTheText) {
  const DecodeCase& c = GetParam();
  auto context = std::make_unique<ArchiveContext>();
  InitArchiveContext(context.get(), nullptr);
  const auto* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
  const auto length = static_cast<uint32_t>(c.bytes.size());
  const bool tar = c.as == Read::kTarWithoutSetting;
  if (tar) context->headerCodePage = 0;
  const NameEncoding encoding = tar ? TarNameEncoding(context.get(), bytes, length)
                                : c.as == Read::kLatin1 ? kNameLatin1 : c.as == Read::kOem ? kNameOem : kNameUtf8;
  SetStoredName(context.get(), bytes, length, encoding, tar || c.as == Read::kUtf8FullField);
  std::u16string out(kMemberNameChars, u'\0');
  DecodeMemberName(context.get(), out.data());
  EXPECT_EQ(std::u16string(out.c_str()), c.text);
}

const DecodeCase kDecodeCases[] = {
    {"ascii", "name.txt", Read::kUtf8, u"name.txt"},
    {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", Read::kUtf8, u"\u00E9\u20AC\U0001F600"},
    {"overlong dots and slash never become a path", "\xC0\xAE\xC0\xAE\xC0\xAF", Read::kUtf8, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"overlong three-byte slash", "\xE0\x80\xAF", Read::kUtf8, u"\uFFFD\uFFFD\uFFFD"},
    {"surrogate code point", "\xED\xA0\x80z", Read::kUtf8, u"\uFFFD\uFFFD\uFFFDz"},
    {"above U+10FFFF", "\xF4\x90\x80\x80z", Read::kUtf8, u"\uFFFD\uFFFD\uFFFD\uFFFDz"},
    {"bytes F5 and above", "a\xF8\xFF" "b", Read::kUtf8, u"a\uFFFD\uFFFDb"},
    {"stray continuation byte", "a\x80" "b", Read::kUtf8, u"a\uFFFDb"},
    {"sequence broken by ascii: one U+FFFD for its valid start", "\xE2\x82" "a", Read::kUtf8, u"\uFFFDa"},
    {"sequence cut at the end of the name", "ab\xE2\x82", Read::kUtf8, u"ab\uFFFD"},
    {"sequence cut by a full field is dropped", "ab\xE2\x82", Read::kUtf8FullField, u"ab"},
    {"text ends at the first zero", std::string("ab\0cd", 5), Read::kUtf8, u"ab"},
    {"TAR: well-formed UTF-8 is UTF-8 without the setting", "na\xC3\xAFve", Read::kTarWithoutSetting, u"na\u00EFve"},
    {"TAR: other bytes are one character each", "caf\xE9", Read::kTarWithoutSetting, u"caf\u00E9"},
    {"Latin-1", "\xE9\x80" "a", Read::kLatin1, u"\u00E9\u0080a"},
    {"OEM code page 437", "\x81\x8E\xE1\xFC\xFF", Read::kOem, u"\u00FC\u00C4\u00DF\u207F\u00A0"},
};
INSTANTIATE_TEST_SUITE_P(Names, NameDecoding, testing::ValuesIn(kDecodeCases), CaseName());

// A name longer than the longest we keep is marked, so that it is never extracted cut.
TEST(Names, NameBeyondTheLimitIsMarkedTooLong) {
  auto context = std::make_unique<ArchiveContext>();
  InitArchiveContext(context.get(), nullptr);
  for (uint32_t length : {kMaxNameBytes, kMaxNameBytes + 1}) {
    const std::string name(length, 'n');
    SetStoredName(context.get(), reinterpret_cast<const uint8_t*>(name.data()), length, kNameUtf8, false);
    EXPECT_EQ(context->storedName.length, kMaxNameBytes);
    EXPECT_EQ(context->storedName.tooLong != 0, length > kMaxNameBytes) << length;
  }
}

// The encoders convert, never write past their capacity, and never write part of a character.
struct CapacityCase { const char* what; bool utf8; std::u16string wide; uint32_t capacity; std::string expected; };
class NamesCapacity : public testing::TestWithParam<CapacityCase> {};

TEST_P(NamesCapacity, ConvertsInsideTheOutput) {
  const CapacityCase& c = GetParam();
  constexpr uint8_t kUntouched = 0xAA;
  uint8_t out[16];
  std::memset(out, kUntouched, sizeof out);
  uint32_t n = c.utf8 ? WideToUtf8(c.wide.c_str(), out, c.capacity) : WideToBytes(c.wide.c_str(), out, c.capacity);
  EXPECT_EQ(n, c.expected.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), n), c.expected);
  EXPECT_TRUE(c.capacity == 0 || out[n] == 0);
  for (uint32_t i = c.capacity; i < sizeof out; ++i) EXPECT_EQ(out[i], kUntouched) << "byte " << i;
}

const CapacityCase kCapacityCases[] = {
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

// ---- Member names made safe as paths below the destination.

TEST(CleanOutputName, NeutralisesWhatWouldLeaveOrMisuseTheDestination) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"plain/name.txt", u"plain/name.txt"}, {u"../a", u"._/a"},        {u"a//b", u"a_/b"},
      {u"/etc/x", u"_etc/x"},   {u"\\\\server\\share\\x", u"_\\server\\share\\x"}, {u"D:\\x", u"D-\\x"},
      {u"a:b", u"a-b"},         {u"name:stream", u"name-stream"},    {u"q?*|\"<>", u"q____()"},
      {u"tab\there\x7f", u"tab_here_"}, {u"a/../../x", u"a/._/._/x"}, {u"a/.. /b", u"a/.._/b"},
      {u"a/... /b", u"a/..._/b"}, {u"x/..", u"x/._"},  {u".", u""},  {u"dir/", u"dir/"},
      {u"CON", u"_CON"},        {u"sub/nul.txt", u"sub/_nul.txt"},   {u"COM1 .log", u"_COM1 .log"},
      {u"lpt9", u"_lpt9"},      {u"aux/prn/x", u"_aux/_prn/x"},      {u"./a", u"a"},  {u"./", u""},
      {u"a/./b/.", u"a/b/"},    {u"./../x", u"._/x"},  {u"dir\\..\\..\\win.ini", u"dir\\._\\._\\win.ini"},
      {u"console.txt", u"console.txt"}, {u"COM10", u"COM10"},        {u".hidden", u".hidden"},
  };
  for (const auto& [name, cleaned] : cases) {
    std::u16string buffer = name;
    buffer.resize(260, u'\0');
    CleanOutputName(buffer.data(), 260);
    EXPECT_EQ(std::u16string(buffer.c_str()), cleaned) << std::string(name.begin(), name.end());
  }
}
TEST(CleanOutputName, DeviceNameWithoutRoomForThePrefix) {
  char16_t buffer[4] = u"NUL";  // exactly full
  CleanOutputName(buffer, 4);
  EXPECT_EQ(std::u16string(buffer), u"_UL");
}
}  // namespace
