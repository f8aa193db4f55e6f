// Member names made safe as paths below the destination.
#include <gtest/gtest.h>

#include <string>

#include "core/output_name.h"

namespace {
TEST(CleanOutputName, NeutralisesWhatWouldLeaveOrMisuseTheDestination) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"plain/name.txt", u"plain/name.txt"},
      {u"../a", u"._/a"},
      {u"a//b", u"a_/b"},
      {u"/etc/x", u"_etc/x"},
      {u"\\\\server\\share\\x", u"_\\server\\share\\x"},
      {u"D:\\x", u"D-\\x"},
      {u"a:b", u"a-b"},
      {u"name:stream", u"name-stream"},
      {u"q?*|\"<>", u"q____()"},
      {u"tab\there\x7f", u"tab_here_"},
      {u"a/../../x", u"a/._/._/x"},
      {u"a/.. /b", u"a/.._/b"},
      {u"a/... /b", u"a/..._/b"},
      {u"x/..", u"x/._"},
      {u".", u"_"},
      {u"dir/", u"dir/"},
      {u"CON", u"_ON"},
      {u"sub/nul.txt", u"sub/_ul.txt"},
      {u"COM1 .log", u"_OM1 .log"},
      {u"lpt9", u"_pt9"},
      {u"console.txt", u"console.txt"},
      {u"COM10", u"COM10"},
      {u".hidden", u".hidden"},
  };
  for (const auto& [name, cleaned] : cases) {
    std::u16string buffer = name;
    CleanOutputName(buffer.data());
    EXPECT_EQ(buffer, cleaned) << std::string(name.begin(), name.end());
  }
}
}  // namespace
