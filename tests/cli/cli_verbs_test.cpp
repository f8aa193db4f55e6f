// The changing verbs of qbx end to end: create, add, test, extract, rename, prefix, chmod,
// delete-last, and their answers to existing files.
#include <gtest/gtest.h>

#include "cli/cli.h"
#include "support/cli_run.h"
#include "support/source_files.h"

namespace {
TEST(CliVerbs, AFullRoundOnATarArchive) {
  ScratchDir dir;
  WriteBytes(dir.Path("one.txt"), BytesOf("one"));
  std::filesystem::create_directories(dir.Path("tree/sub"));
  WriteBytes(dir.Path("tree/sub/two.bin"), Pattern(70000));
  std::u16string tar = Wide(dir.Path("a.tar"));
  struct Step { std::vector<std::u16string> args; int status; std::string out; };
  const Step steps[] = {
      {{u"create", tar}, kResultOk, ""},
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
  struct Case { std::u16string option; const char* expected; std::string err; };
  const Case cases[] = {{u"--skip-existing", "old", ""}, {u"", "old", passedOver}, {u"--overwrite", "new", ""}};
  for (const Case& c : cases) {
    WriteBytes(dir.Path("out/f.txt"), BytesOf("old"));
    std::vector<std::u16string> args = {u"extract", qbx, u"-o", Wide(dir.Path("out"))};
    if (!c.option.empty()) args.push_back(c.option);
    CliRun run = RunQbx(args);
    EXPECT_EQ(run.status, int{kResultOk});
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(ReadBytes(dir.Path("out/f.txt")), BytesOf(c.expected));
  }
}
}  // namespace
