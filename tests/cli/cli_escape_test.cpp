// Names and viewed text from an archive never drive the terminal: control characters are
// printed as octal escapes, the way GNU tar shows them; JSON escapes them its own way.
#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/cli_run.h"

namespace {
// ESC ] 0 ; title BEL retitles a terminal; CR draws over the line; CSI (U+009B) in UTF-8.
const std::string kHostileName = "evil\x1b]0;owned\x07\r\xC2\x9B" "2J.txt";
const std::string kShownName = "evil\\033]0;owned\\007\\015\\302\\2332J.txt";

struct EscapeCase {
  const char* what;
  std::vector<std::u16string> args;  // the archive goes where "A" stands
  bool outIsTerminal;
  std::string expected;  // must appear in stdout
  std::string absent;    // must not appear in stdout
};

class CliEscapes : public testing::TestWithParam<EscapeCase> {};

TEST_P(CliEscapes, ShowControlCharactersEscaped) {
  const EscapeCase& c = GetParam();
  ScratchDir dir;
  Bytes a;
  const Bytes text = BytesOf("line\x1b[2J\nnext");
  AppendTarMember(a, {kHostileName, text.size()}, text);
  AppendZeroBlocks(a, 2);
  WriteBytes(dir.Path("a.tar"), a);
  std::vector<std::u16string> args;
  for (const std::u16string& arg : c.args) args.push_back(arg == u"A" ? Wide(dir.Path("a.tar")) : arg);
  CliRun run = RunQbx(args, c.outIsTerminal);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find(c.expected), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(c.absent), std::string::npos) << run.out;
}

const EscapeCase kEscapeCases[] = {
    {"list to a pipe", {u"list", u"A"}, false, kShownName, "\x1b"},
    {"list to a terminal", {u"list", u"A"}, true, kShownName, "\x1b"},
    {"JSON keeps its own escapes", {u"list", u"--json", u"A"}, false, "evil\\u001b]0;owned\\u0007\\u000d", "\\\\033"},
    {"viewed text on a terminal", {u"view", u"A", u"0", u"--as", u"utf8"}, true, "line\\033[2J\nnext", "\x1b"},
    {"viewed text into a pipe stays as stored", {u"view", u"A", u"0", u"--as", u"utf8"}, false, "line\x1b[2J\nnext", "\\033"},
};
INSTANTIATE_TEST_SUITE_P(Cli, CliEscapes, testing::ValuesIn(kEscapeCases), CaseName());
}  // namespace
