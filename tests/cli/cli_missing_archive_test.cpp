// Reading never creates a file: a missing archive is reported (14) and stays missing; only
// add makes a new one. One verb for each way a verb opens its archive (test goes extract's
// way, delete-last rename's).
#include <gtest/gtest.h>

#include "core/archive.h"
#include "support/case_name.h"
#include "support/cli_run.h"
#include "support/test_files.h"

namespace {
struct MissingCase {
  const char* what;
  std::vector<std::u16string> verb;  // the archive's path goes behind these
  std::vector<std::u16string> after;
  bool created;  // add makes a new TAR or QBX; a ZIP or GZ it cannot make
};

class CliMissingArchive : public testing::TestWithParam<MissingCase> {};

TEST_P(CliMissingArchive, IsCreatedOnlyByAdd) {
  const MissingCase& c = GetParam();
  for (const char* name : {"a.zip", "a.tar", "a.gz", "a.qbx"}) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    WriteBytes(dir.Path("file.txt"), BytesOf("x"));
    std::vector<std::u16string> args = c.verb;
    args.push_back(Wide(dir.Path(name)));
    for (const std::u16string& a : c.after)
      args.push_back(a == u"FILE" ? Wide(dir.Path("file.txt")) : a == u"FILE.out" ? Wide(dir.Path("out")) : a);
    const bool writable = std::string(name) == "a.tar" || std::string(name) == "a.qbx";
    CliRun run = RunQbx(args);
    EXPECT_EQ(run.status, c.created && writable ? int{kResultOk} : int{kResultOpen});
    EXPECT_EQ(std::filesystem::exists(dir.Path(name)), c.created && writable);
  }
}

const MissingCase kMissingCases[] = {
    {"list", {u"list"}, {}, false},
    {"list as JSON", {u"list", u"--json"}, {}, false},
    {"extract", {u"extract"}, {u"-o", u"FILE.out"}, false},
    {"view", {u"view"}, {u"0", u"--as", u"hex"}, false},
    {"rename", {u"rename"}, {u"0", u"b"}, false},
    {"add", {u"add"}, {u"FILE"}, true},
};
INSTANTIATE_TEST_SUITE_P(Cli, CliMissingArchive, testing::ValuesIn(kMissingCases), CaseName());

}  // namespace
