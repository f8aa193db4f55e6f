// qbx repair: exit kResultOk when the incomplete last member was cut, kResultSave (unchanged)
// otherwise. A missing archive: CliMissingArchive; malformed commands: CliRuns.
#include <gtest/gtest.h>

#include "core/result.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/cli_run.h"
#include "support/source_files.h"

namespace {
Bytes Member(bool tar, const std::string& name, const Bytes& data) {
  return tar ? TarMember({name, data.size()}, data) : QbxBytes({{name, data}});
}
// One whole member, then the first 2512 bytes of one an add was copying when it was killed.
Bytes Torn(bool tar) {
  return Joined({Member(tar, "a.txt", BytesOf("hello")), Cut(Member(tar, "big.bin", Pattern(100000)), 512 + 2000)});
}

struct RepairCase {
  const char* what;
  const char* file;
  Bytes bytes;
  std::vector<std::u16string> options;
  int status;
  Bytes after;
  std::string out, err;
};

const RepairCase kCases[] = {
    {"torn tar with yes", "a.tar", Torn(true), {u"--yes"}, kResultOk, Joined({Member(true, "a.txt", BytesOf("hello")), Bytes(1024, 0)}),
     "Cut the incomplete member big.bin (2512 of 100864 bytes written); the archive can be changed again.\n", ""},
    {"torn qbx without yes or a terminal", "a.qbx", Torn(false), {}, kResultSave, Torn(false), "",
     "qbx: the incomplete member big.bin (2512 of 100516 bytes written) was not cut: use --yes to cut it "
     "without a question\n"},
    {"whole qbx", "a.qbx", Member(false, "a.txt", BytesOf("hello")), {u"--yes"}, kResultSave,
     Member(false, "a.txt", BytesOf("hello")), "", "qbx: nothing to repair: no member runs past the end of the archive\n"},
    {"gz that does not list", "a.gz", BytesOf("\x1F\x8B"), {u"--yes"}, kResultSave, BytesOf("\x1F\x8B"), "",
     "Unexpected End of File Error: The file may be corrupt, incomplete, or incompatible.\n"
     "qbx: nothing to repair: the archive cannot be listed\n"},
};

class CliRepair : public testing::TestWithParam<RepairCase> {};

TEST_P(CliRepair, ExitsAndLeavesTheArchiveAsExpected) {
  const RepairCase& c = GetParam();
  ScratchDir dir;
  WriteBytes(dir.Path(c.file), c.bytes);
  std::vector<std::u16string> args = {u"repair", Wide(dir.Path(c.file))};
  args.insert(args.end(), c.options.begin(), c.options.end());
  CliRun run = RunQbx(args);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, c.err);
  EXPECT_EQ(ReadBytes(dir.Path(c.file)), c.after);
  if (c.status == kResultOk) {
    WriteBytes(dir.Path("new.txt"), BytesOf("new"));
    EXPECT_EQ(RunQbx({u"add", Wide(dir.Path(c.file)), Wide(dir.Path("new.txt"))}).status, int{kResultOk});  // writable again
  }
}
INSTANTIATE_TEST_SUITE_P(Cli, CliRepair, testing::ValuesIn(kCases), CaseName());
}  // namespace
