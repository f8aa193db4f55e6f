// qbx view, run in-process: pages, titles, line breaks for a terminal, failures.
#include <gtest/gtest.h>

#include "cli/cli.h"
#include "support/archive_builder.h"
#include "support/cli_run.h"

namespace {
TEST(CliView, PagesModesAndFailures) {
  ScratchDir dir;
  Bytes a;
  AppendQbxMember(a, {"notes.txt", BytesOf("caf\xC3\xA9\nline two\r\nend")});
  AppendQbxMember(a, {"big.bin", Bytes(300000, 'z')});
  WriteBytes(dir.Path("a.qbx"), a);
  std::u16string archive = Wide(dir.Path("a.qbx"));
  struct Case { const char* what; std::vector<std::u16string> args; int status; std::string outStart; size_t outSize; };
  const Case cases[] = {
      // The viewer's CR LF reach the terminal as LF.
      {"UTF-8 text, one line per line", {u"view", archive, u"0", u"--as", u"utf8"}, 0,
       "caf\xC3\xA9\nline two\nend\n", 0},
      {"second page with its title", {u"view", archive, u"1", u"--as", u"hex", u"--page", u"2", u"--title"}, 0,
       "View Data Binary Hex [2/2]\n00040000  7A 7A", 0},
      {"wide character dump lines", {u"view", archive, u"1", u"--as", u"text", u"--wide"}, 0,
       "00000000  " + std::string(128, 'z') + "\n00000080  ", 2048 * (10 + 128 + 1)},
      {"header of the first member", {u"view", archive, u"0", u"--as", u"header-hex"}, 0,
       "00000000  58 42 51 4B 20 00 00 00  6E 6F 74 65", 16 * (10 + 3 * 32 + 4 - 1)},
      {"a member that is not there", {u"view", archive, u"7", u"--as", u"ansi"}, kResultNotFound, "", 0},
      {"no mode", {u"view", archive, u"0"}, kExitUsage, "", 0},
      {"unknown mode", {u"view", archive, u"0", u"--as", u"latin"}, kExitUsage, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CliRun r = RunQbx(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out.substr(0, c.outStart.size()), c.outStart);
    if (c.outSize != 0) {  // 0: not checked
      EXPECT_EQ(r.out.size(), c.outSize);
    }
    if (c.status == int{kResultNotFound}) {
      EXPECT_EQ(r.err, "Open Error: The file was not found.\n");
    }
  }
}
}  // namespace
