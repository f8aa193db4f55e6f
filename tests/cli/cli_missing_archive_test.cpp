// Reading never creates a file: a missing archive is reported (kResultOpen) and stays missing;
// only add makes a new one. One verb for each way a verb opens its archive (test goes
// extract's way, delete-last rename's).
#include <gtest/gtest.h>

#include "core/archive.h"
#include "support/case_name.h"
#include "support/cli_run.h"
#include "support/test_files.h"

namespace {
// "@" stands for the archive's path, "@name" for that file beside it; add makes a new TAR,
// QBX or ZIP (created), a GZ it cannot make.
struct MissingCase { const char* what; std::vector<std::u16string> args; bool created; };

class CliMissingArchive : public testing::TestWithParam<MissingCase> {};

TEST_P(CliMissingArchive, IsCreatedOnlyByAdd) {
  const MissingCase& c = GetParam();
  for (const char* name : {"a.zip", "a.tar", "a.gz", "a.qbx"}) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    WriteBytes(dir.Path("file.txt"), BytesOf("x"));
    std::vector<std::u16string> args;
    for (const std::u16string& a : c.args)
      args.push_back(a[0] != u'@' ? a : Wide(a == u"@" ? dir.Path(name) : dir.root / a.substr(1)));
    const bool created = c.created && std::string(name) != "a.gz";
    EXPECT_EQ(RunQbx(args).status, created ? int{kResultOk} : int{kResultOpen});
    EXPECT_EQ(std::filesystem::exists(dir.Path(name)), created);
  }
}

const MissingCase kMissingCases[] = {
    {"list", {u"list", u"@"}, false},
    {"list as JSON", {u"list", u"--json", u"@"}, false},
    {"extract", {u"extract", u"@", u"-o", u"@out"}, false},
    {"view", {u"view", u"@", u"0", u"--as", u"hex"}, false},
    {"rename", {u"rename", u"@", u"0", u"b"}, false},
    {"repair", {u"repair", u"@", u"--yes"}, false},
    {"add", {u"add", u"@", u"@file.txt"}, true},
};
INSTANTIATE_TEST_SUITE_P(Cli, CliMissingArchive, testing::ValuesIn(kMissingCases), CaseName());
}  // namespace
