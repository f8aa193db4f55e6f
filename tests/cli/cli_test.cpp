// Runs of qbx, in-process: list lines, their orders and JSON, view pages and modes, control
// characters printed as octal escapes (the way GNU tar shows them; JSON escapes them its own
// way), the status and message of each failure and of repair, the changing verbs end to end,
// and archives that are missing.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/archive.h"
#include "core/result.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "support/test_files.h"

namespace {
struct CliRun { std::string out, err; int status; };

void Capture(void* user, CliStream stream, const char* data, size_t size) {
  auto* run = static_cast<CliRun*>(user);
  (stream == kCliOut ? run->out : run->err).append(data, size);
}

// Runs qbx in-process and keeps what it printed; args without the program name.
CliRun RunQbx(std::vector<std::u16string> args, bool outIsTerminal = false) {
  CliRun run;
  args.insert(args.begin(), u"qbx");
  run.status = QbxMain(args, CliIo{Capture, &run, outIsTerminal});
  return run;
}

// ESC ] 0 ; title BEL retitles a terminal; CR draws over the line; CSI (U+009B) in UTF-8.
const std::string kHostileName = "evil\x1b]0;owned\x07\r\xC2\x9B" "2J.txt";
const std::string kShownName = "evil\\033]0;owned\\007\\015\\302\\2332J.txt";
const std::string kNotArchive = "Open Error: The file cannot be opened as an archive.\n";

// An argument "@name" stands for that file of the scratch folder.
struct RunCase {
  const char* what;
  std::vector<std::u16string> args;
  int status;
  std::string out, err;  // each must appear in its stream
  std::string absent = "";  // must not appear in stdout
  bool terminal = false;
  size_t outSize = 0;  // 0: not checked
  const char* grows = nullptr;  // an archive that takes a member afterwards
  std::vector<int> order = {};  // the member indexes of the list lines, in the order printed
};

class CliRuns : public testing::TestWithParam<RunCase> {};

// The member indexes of qbx list's lines, in the order printed.
std::vector<int> ListedOrder(const std::string& out) {
  std::vector<int> order;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (line.size() > 6 && line[6] == ' ' && line[5] >= '0' && line[5] <= '9') order.push_back(std::stoi(line.substr(0, 6)));
  return order;
}

Bytes Member(bool tar, const std::string& name, const Bytes& data) {
  return tar ? TarMember({name, data.size()}, data) : QbxBytes({{name, data}});
}
// One whole member, then the first 2512 bytes of one an add was copying when it was killed.
Bytes Torn(bool tar) {
  return Joined({Member(tar, "a.txt", BytesOf("hello")), Cut(Member(tar, "big.bin", Pattern(100000)), 512 + 2000)});
}

TEST_P(CliRuns, EndWithTheirStatusAndTexts) {
  const RunCase& c = GetParam();
  ScratchDir dir;
  WriteBytes(dir.Path("a.qbx"), QbxBytes({{"notes.txt", BytesOf("caf\xC3\xA9\nline two\r\nend")},
                                          {"big.bin", Bytes(300000, 'z')}}));
  const Bytes text = BytesOf("line\x1b[2J\nnext");
  WriteBytes(dir.Path("h.tar"), TarBytes({{{kHostileName, text.size()}, text}}));
  Bytes damaged(600, 'x');
  std::memcpy(damaged.data(), "XBQK", 4);
  WriteBytes(dir.Path("d.qbx"), damaged);
  WriteBytes(dir.Path("x.bin"), BytesOf("plain text"));
  WriteBytes(dir.Path("j.qbx"), QbxBytes({{"caf\xC3\xA9\"q.qqx", BytesOf("12345"), 132000000000000000ULL, 0x21}}));
  WriteBytes(dir.Path("e.qbx"), {});
  WriteBytes(dir.Path("n.tar"), TarBytes({{{"na\xC3\xAFve", 3}, BytesOf("abc")}, {{"caf\xE9", 3}, BytesOf("abc")}}));
  WriteBytes(dir.Path("torn.tar"), Torn(true));
  WriteBytes(dir.Path("torn.qbx"), Torn(false));
  WriteBytes(dir.Path("cut.gz"), BytesOf("\x1F\x8B"));
  WriteBytes(dir.Path("s.tar"), TarBytes({{{"b.txt", 1, 1600000000, 0644}, BytesOf("b")},
                                          {{"a.txt", 700, 1600000000, 0600}, Bytes(700, 'a')},
                                          {{"c.txt", 3, 1600000000, 0755}, BytesOf("ccc")}}));
  std::vector<std::u16string> args;
  for (const std::u16string& a : c.args) args.push_back(a[0] == u'@' ? Wide(dir.root / a.substr(1)) : a);
  const CliRun run = RunQbx(args, c.terminal);
  EXPECT_EQ(run.status, c.status);
  EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
  EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  EXPECT_TRUE(c.absent.empty() || run.out.find(c.absent) == std::string::npos) << run.out;
  EXPECT_TRUE(c.outSize == 0 || run.out.size() == c.outSize) << run.out.size();
  if (!c.order.empty()) { EXPECT_EQ(ListedOrder(run.out), c.order); }
  if (c.grows != nullptr) { EXPECT_EQ(RunQbx({u"add", Wide(dir.root / c.grows), Wide(dir.Path("x.bin"))}).status, 0); }
}

// qbx list with the options, of s.tar: b.txt (1 byte, 644), a.txt (700, 600), c.txt (3, 755).
RunCase Sorted(const char* what, std::vector<std::u16string> options, std::vector<int> order) {
  options.insert(options.begin(), u"list");
  options.push_back(u"@s.tar");
  RunCase c{what, options, kResultOk, "", ""};
  c.order = order;
  return c;
}

const std::string kColumns = "  2020-09-13 12:26              512                3  -rw-r--r--           File                  ";
const std::string kStatus = "2 items, 1 KB  \xE2\x86\x92  6 bytes\n";

const RunCase kRuns[] = {
    {"list as JSON", {u"list", u"--json", u"@j.qbx"}, kResultOk,
     "{\"format\":\"QBX\",\"result\":0,\"writable\":true,\"memberCount\":1,\"appendOffset\":521,\"fileSize\":521,"
     "\"members\":[{\"index\":0,\"name\":\"caf\xC3\xA9\\\"q.qqx\",\"nameHex\":\"636166c3a922712e717178\",\"packedSize\":5,"
     "\"size\":5,\"modified\":132000000000000000,\"attributes\":33,\"method\":0,\"mode\":0,\"padding\":0,"
     "\"checksum\":2559756201,\"cells\":[\"caf\xC3\xA9\\\"q.qqx\",\"2019-04-17 18:40\",\"QQX File\",\"5\",\"5\",\"RA\"]}],"
     "\"status\":[\" 1 item\",\"5 bytes\"]}\n", ""},
    {"list of an empty archive as JSON", {u"list", u"--json", u"@e.qbx"}, kResultOk,
     "{\"format\":\"QBX\",\"result\":0,\"writable\":true,\"memberCount\":0,\"appendOffset\":0,\"fileSize\":0,"
     "\"members\":[],\"status\":[\" 0 items\",\"0 bytes\"]}\n", ""},
    // Without the UTF-8 setting, well-formed UTF-8 is still read as UTF-8 and anything else one
    // byte per character; with it, every name is UTF-8 and a stray byte shows as U+FFFD.
    {"list lines", {u"list", u"@n.tar"}, kResultOk,
     "     0" + kColumns + "na\xC3\xAFve\n     1" + kColumns + "caf\xC3\xA9\n" + kStatus, ""},
    {"list lines of UTF-8 names", {u"list", u"--utf8", u"@n.tar"}, kResultOk,
     "     0" + kColumns + "na\xC3\xAFve\n     1" + kColumns + "caf\xEF\xBF\xBD\n" + kStatus, ""},
    // The viewer's CR LF reach the terminal as LF.
    {"view UTF-8 text one line per line", {u"view", u"@a.qbx", u"0", u"--as", u"utf8"}, kResultOk, "caf\xC3\xA9\nline two\nend\n", ""},
    {"view the second page with its title", {u"view", u"@a.qbx", u"1", u"--as", u"hex", u"--page", u"2", u"--title"}, kResultOk,
     "View Data Binary Hex [2/2]\n00040000  7A 7A", ""},
    {"view wide character dump lines", {u"view", u"@a.qbx", u"1", u"--as", u"text", u"--wide"}, kResultOk,
     "00000000  " + std::string(128, 'z') + "\n00000080  ", "", "", false, 2048 * (10 + 128 + 1)},
    {"view the header of the first member", {u"view", u"@a.qbx", u"0", u"--as", u"header-hex"}, kResultOk,
     "00000000  58 42 51 4B 20 00 00 00  6E 6F 74 65", "", "", false, 16 * (10 + 3 * 32 + 4 - 1)},
    {"view a member that is not there", {u"view", u"@a.qbx", u"7", u"--as", u"ansi"}, kResultNotFound, "",
     "Open Error: The file was not found.\n"},
    {"view without a mode", {u"view", u"@a.qbx", u"0"}, kExitUsage, "", ""},
    {"view in an unknown mode", {u"view", u"@a.qbx", u"0", u"--as", u"latin"}, kExitUsage, "", ""},
    {"list to a pipe escapes", {u"list", u"@h.tar"}, kResultOk, kShownName, "", "\x1b"},
    {"list to a terminal escapes", {u"list", u"@h.tar"}, kResultOk, kShownName, "", "\x1b", true},
    {"JSON keeps its own escapes", {u"list", u"--json", u"@h.tar"}, kResultOk, "evil\\u001b]0;owned\\u0007\\u000d", "", "\\\\033"},
    {"viewed text on a terminal escapes", {u"view", u"@h.tar", u"0", u"--as", u"utf8"}, kResultOk, "line\\033[2J\nnext", "",
     "\x1b", true},
    {"viewed text into a pipe stays as stored", {u"view", u"@h.tar", u"0", u"--as", u"utf8"}, kResultOk, "line\x1b[2J\nnext", "",
     "\\033"},
    {"list of no archive", {u"list", u"@x.bin"}, kResultNotArchive, "", kNotArchive},
    {"list of no archive as JSON", {u"list", u"--json", u"@x.bin"}, kResultNotArchive,
     "{\"result\":19,\"title\":\"Open Error\",\"text\":\"The file cannot be opened as an archive.\"}\n", ""},
    {"extract of no archive", {u"extract", u"@x.bin", u"-o", u"@o"}, kResultNotArchive, "", kNotArchive},
    // The listing tolerates the damage (read-only, no members); the test reports it after the item in work.
    {"test of a damaged archive", {u"test", u"@d.qbx"}, kResultChecksum, "Test failed.\n",
     "Checksum Error: Checksum failed. The file may be corrupt.\n"},
    {"create of a GZ", {u"create", u"@n.gz"}, kResultSave, "", "Save Error: The file cannot be saved.\n"},
    {"list without an archive", {u"list"}, kExitUsage, "", ""},
    {"unknown verb", {u"frobnicate"}, kExitUsage, "", ""},
    {"unknown option", {u"list", u"--bogus", u"@x.bin"}, kExitUsage, "", ""},
    {"extract without a folder", {u"extract", u"@x.bin"}, kExitUsage, "", ""},
    {"repair without an archive", {u"repair"}, kExitUsage, "", ""},
    {"repair with an unknown option", {u"repair", u"@a.qbx", u"--force"}, kExitUsage, "", ""},
    {"unknown sort key names the known ones", {u"list", u"--sort", u"column7", u"@a.qbx"}, kExitUsage, "",
     "qbx: --sort takes name, date, type, size, extracted, details or archive\n"},
    {"help of a verb", {u"extract", u"--help"}, kResultOk, "qbx extract", ""},
    // Repair exits kResultOk when the incomplete last member was cut, kResultSave otherwise.
    {"repair of a torn TAR with yes", {u"repair", u"@torn.tar", u"--yes"}, kResultOk,
     "Cut the incomplete member big.bin (2512 of 100864 bytes written); the archive can be changed again.\n", "", "",
     false, 0, "torn.tar"},
    {"repair of a torn QBX without yes or a terminal", {u"repair", u"@torn.qbx"}, kResultSave, "",
     "qbx: the incomplete member big.bin (2512 of 100516 bytes written) was not cut: use --yes to cut it "
     "without a question\n"},
    {"repair of a whole QBX", {u"repair", u"@a.qbx", u"--yes"}, kResultSave, "",
     "qbx: nothing to repair: no member runs past the end of the archive\n"},
    {"repair of a GZ that does not list", {u"repair", u"@cut.gz", u"--yes"}, kResultSave, "",
     "Unexpected End of File Error: The file may be corrupt, incomplete, or incompatible.\n"
     "qbx: nothing to repair: the archive cannot be listed\n"},
    Sorted("archive order by default", {}, {0, 1, 2}),
    Sorted("sorted by name", {u"--sort", u"name"}, {1, 0, 2}),
    Sorted("sorted by name reversed", {u"--sort", u"name", u"--reverse"}, {2, 0, 1}),
    Sorted("sorted by size", {u"--sort", u"size"}, {1, 0, 2}),
    Sorted("sorted by details", {u"--sort", u"details"}, {2, 0, 1}),
    Sorted("sorted by details under its old name column6", {u"--sort", u"column6"}, {2, 0, 1}),
#ifndef _WIN32
    {"add of a device", {u"add", u"@new.tar", u"/dev/zero"}, kResultNotAFile, "", "device, pipe or socket"},
#endif
};
INSTANTIATE_TEST_SUITE_P(Cli, CliRuns, testing::ValuesIn(kRuns), CaseName());

// Reading never creates a file: a missing archive is reported (kResultOpen) and stays missing;
// only add makes a new TAR, QBX or ZIP (not a GZ). One verb for each way a verb opens its
// archive (test goes extract's way, delete-last rename's). "@" stands for the archive.
struct MissingCase { const char* what; std::vector<std::u16string> args; bool created; };
class CliMissingArchive : public testing::TestWithParam<MissingCase> {};

TEST_P(CliMissingArchive, IsCreatedOnlyByAdd) {
  for (const char* name : {"a.zip", "a.tar", "a.gz", "a.qbx"}) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    WriteBytes(dir.Path("file.txt"), BytesOf("x"));
    std::vector<std::u16string> args;
    for (const std::u16string& a : GetParam().args)
      args.push_back(a[0] != u'@' ? a : a == u"@" ? Wide(dir.Path(name)) : Wide(dir.root / a.substr(1)));
    const bool created = GetParam().created && std::string(name) != "a.gz";
    EXPECT_EQ(RunQbx(args).status, created ? int{kResultOk} : int{kResultOpen});
    EXPECT_EQ(std::filesystem::exists(dir.Path(name)), created);
  }
}

const MissingCase kMissingCases[] = {
    {"list", {u"list", u"@"}, false},
    {"extract", {u"extract", u"@", u"-o", u"@out"}, false},
    {"view", {u"view", u"@", u"0", u"--as", u"hex"}, false},
    {"rename", {u"rename", u"@", u"0", u"b"}, false},
    {"repair", {u"repair", u"@", u"--yes"}, false},
    {"add", {u"add", u"@", u"@file.txt"}, true},
};
INSTANTIATE_TEST_SUITE_P(Cli, CliMissingArchive, testing::ValuesIn(kMissingCases), CaseName());

// The changing verbs end to end: create, add, test, extract, rename, prefix, chmod,
// delete-last, and their answers to existing files.
TEST(CliVerbs, AFullRoundOnATarArchive) {
  ScratchDir dir;
  WriteBytes(dir.Path("one.txt"), BytesOf("one"));
  std::filesystem::create_directories(dir.Path("tree/sub"));
  WriteBytes(dir.Path("tree/sub/two.bin"), Pattern(70000));
  std::u16string tar = Wide(dir.Path("a.tar"));
  struct Step { std::vector<std::u16string> args; int status; std::string out; };
  const Step steps[] = {{{u"create", tar}, kResultOk, ""},
      {{u"add", u"--base-folder", tar, Wide(dir.Path("one.txt")), Wide(dir.Path("tree"))}, kResultOk, ""},
      {{u"test", tar}, kResultOk, "Test completed. There are no errors.\n"},
      {{u"rename", tar, u"0", u"renamed\\one.txt"}, kResultOk, ""},
      {{u"prefix", tar, u"--prepend", u"top/", u"0", u"1"}, kResultOk, ""},
      {{u"prefix", tar, u"--trim", u"4", u"1"}, kResultOk, ""},
      {{u"chmod", tar, u"640", u"0"}, kResultOk, ""},
      {{u"chmod", tar, u"648", u"0"}, kExitUsage, ""},
      {{u"test", tar, u"7"}, kResultNotFound, ""},
      {{u"extract", tar, u"-o", Wide(dir.Path("out"))}, kResultOk, ""},
      {{u"delete-last", tar}, kResultOk, ""},
      {{u"test", tar, u"1"}, kResultNotFound, ""},
  };
  for (const Step& step : steps) {
    CliRun r = RunQbx(step.args);
    EXPECT_EQ(r.status, step.status) << std::string(step.args[0].begin(), step.args[0].end()) << ": " << r.err;
    EXPECT_EQ(r.out, step.out);
  }
  EXPECT_EQ(ReadBytes(dir.Path("out/top/renamed/one.txt")), BytesOf("one"));
  EXPECT_EQ(ReadBytes(dir.Path("out/tree/sub/two.bin")), Pattern(70000));
  CliRun list = RunQbx({u"list", u"--json", tar});
  EXPECT_NE(list.out.find("\"name\":\"top/renamed/one.txt\""), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("-rw-r-----"), std::string::npos);
  EXPECT_NE(list.out.find("\"memberCount\":1,"), std::string::npos);
}

// Without an answer and without a terminal, existing files are kept.
TEST(CliVerbs, ExistingFilesAreKeptOrReplacedAsAsked) {
  ScratchDir dir;
  WriteBytes(dir.Path("f.txt"), BytesOf("new"));
  const std::u16string qbx = Wide(dir.Path("a.qbx"));
  ASSERT_EQ(RunQbx({u"add", qbx, Wide(dir.Path("f.txt"))}).status, int{kResultOk});
  std::filesystem::create_directories(dir.Path("out"));
  // Kept for want of an answer, the member is named and counted on stderr.
  const std::string passedOver =
      "qbx: passed over f.txt: the file exists (--overwrite or --skip-existing)\nqbx: 1 member(s) passed over\n";
  struct Case { std::vector<std::u16string> option; const char* expected; std::string err; };
  const Case cases[] = {{{u"--skip-existing"}, "old", ""}, {{}, "old", passedOver}, {{u"--overwrite"}, "new", ""}};
  for (const Case& c : cases) {
    WriteBytes(dir.Path("out/f.txt"), BytesOf("old"));
    std::vector<std::u16string> args = {u"extract", qbx, u"-o", Wide(dir.Path("out"))};
    args.insert(args.end(), c.option.begin(), c.option.end());
    const CliRun run = RunQbx(args);
    EXPECT_EQ(run.status, int{kResultOk});
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(ReadBytes(dir.Path("out/f.txt")), BytesOf(c.expected));
  }
}
}  // namespace
