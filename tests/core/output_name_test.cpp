// Member names made safe as paths below the destination.
#include <gtest/gtest.h>

#include <string>

#include "core/output_name.h"

namespace {
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
  std::u16string buffer = u"NUL";
  buffer.resize(4, u'\0');  // exactly full
  CleanOutputName(buffer.data(), 4);
  EXPECT_EQ(std::u16string(buffer.c_str()), u"_UL");
}
}  // namespace
