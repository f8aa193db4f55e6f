// The jobs end to end over an in-memory list: open, extract with prompts, test, add
// folders, and the row jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "jobs/folder_scan.h"
#include "jobs/job_session.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/zip_builder.h"

namespace {
using Names = std::vector<std::u16string>;

TEST(Jobs, OpenListsRowsAndKeepsTheRevertPoint) {
  JobSession s;
  ASSERT_EQ(s.OpenBytes(FiveMemberTar()), kResultOk);
  EXPECT_EQ(s.Names(), (Names{u"a.txt", u"sub/", u"sub/b.txt", u"/etc/x", u"a:b"}));
  const ListTotals& t = s.state().Totals;
  EXPECT_EQ(t.ListedCount, 5u);
  EXPECT_EQ(t.RowCount, 5u);
  EXPECT_EQ(t.TotalSize, 4u * 512);
  EXPECT_EQ(t.TotalExtractedSize, 7u);
  EXPECT_EQ(t.OpenMemberCount, 5u);
  EXPECT_EQ(t.OpenEndOffset, 9u * 512);
  EXPECT_EQ(s.jobs->host.outcome, kOutcomeCloseDialog);
  EXPECT_EQ(s.jobs->host.rows[1].cells[2], u"Directory");
  EXPECT_EQ(s.jobs->host.rows[2].cells[5], u"-rw-r--r--");
}

TEST(Jobs, FailedOrCancelledOpenLeavesNothingOpen) {
  JobSession s;
  EXPECT_EQ(s.OpenBytes(BytesOf("plain text"), "x.bin"), kResultNotArchive);
  EXPECT_TRUE(s.Names().empty());
  EXPECT_EQ(s.state().ArchivePath[0], 0);
  EXPECT_EQ(s.state().Archive.openMode, kModeClosed);
  // A cancel seen by the listing discards what was listed.
  WriteBytes(s.dir.Path("a.tar"), FiveMemberTar());
  s.SetJobPath(s.dir.Path("a.tar"));
  s.state().Archive.jobState.store(kJobCancelling);
  JobBodyOf(kJobOpenAndList)(&s.state());
  EXPECT_TRUE(s.Names().empty());
  EXPECT_EQ(s.state().Archive.openMode, kModeClosed);
  EXPECT_EQ(s.state().Totals.ListedCount, 0u);
}

// out/a.txt, out/sub/b.txt and out/a-b exist; their prompts come in member order. selected:
// none for every member; a, b, ab: out/a.txt, out/sub/b.txt and out/a-b afterwards.
struct ExtractCase { const char* what; std::vector<uint32_t> answers, selected; uint32_t asked; std::string a, b, ab; };
const ExtractCase kExtractCases[] = {
    {"each file asked for", {kAnswerSkip, kAnswerDo}, {}, 3, "old", "bb", "old"},  // the third skipped
    {"overwrite all is remembered", {kAnswerDoAll}, {}, 1, "a", "bb", "c"},
    {"skip all is remembered", {kAnswerSkipAll}, {}, 1, "old", "old", "old"},
    {"selected rows only", {kAnswerDo}, {2}, 1, "old", "bb", "old"},
};
class JobsExtract : public testing::TestWithParam<ExtractCase> {};

TEST_P(JobsExtract, CleansNamesMakesFoldersAndAsksBeforeReplacing) {
  const ExtractCase& c = GetParam();
  const Bytes five = FiveMemberTar();
  const Bytes a = Joined({Cut(five, five.size() - 1024),  // without its end, to take more members
                          TarBytes({{{"./", 0, 1600000000, 0755, '5'}, {}},
                                    {{"./folder", 0, 1600000000, 0755, '5'}, {}},  // a directory, no slash
                                    {{"./folder/file", 4}, BytesOf("data")},
                                    {{"./CON.txt", 1}, BytesOf("c")}})});
  JobSession s;
  const std::filesystem::path out = s.dir.Path("out");
  std::filesystem::create_directories(out / "sub");
  for (const char* n : {"a.txt", "sub/b.txt", "a-b"}) WriteBytes(out / n, BytesOf("old"));
  ASSERT_EQ(s.OpenBytes(a), kResultOk);
  SelectMembers(s.jobs, c.selected);
  s.script.answers = c.answers;
  EXPECT_EQ(s.Extract(out), kResultOk);
  EXPECT_EQ(s.script.asked[kUpdateOverwritePrompt], c.asked);
  EXPECT_EQ(ReadBytes(out / "a.txt"), BytesOf(c.a));
  EXPECT_EQ(ReadBytes(out / "sub/b.txt"), BytesOf(c.b));
  EXPECT_EQ(ReadBytes(out / "a-b"), BytesOf(c.ab));
  EXPECT_EQ(s.jobs->host.outcome, kOutcomeCloseDialog);
  EXPECT_EQ(std::filesystem::exists(out / "_etc/x"), c.selected.empty());
  if (!c.selected.empty()) return;
  EXPECT_EQ(ReadBytes(out / "_etc/x"), BytesOf("etc"));
  EXPECT_EQ(ReadBytes(out / "folder/file"), BytesOf("data"));
  EXPECT_EQ(ReadBytes(out / "_CON.txt"), BytesOf("c"));
  EXPECT_FALSE(std::filesystem::exists(out / "_"));
}
INSTANTIATE_TEST_SUITE_P(Jobs, JobsExtract, testing::ValuesIn(kExtractCases), CaseName());

TEST(Jobs, PasswordAnswersAreRememberedAndPlainMembersNeverAsk) {
  const std::pair<std::vector<uint32_t>, uint32_t> cases[] = {
      {{kAnswerDoAll}, 1},              // asked once for both
      {{kAnswerSkipAll}, 1},            // the rest skipped silently
      {{kAnswerSkip, kAnswerSkip}, 2},  // asked for each
  };
  for (const auto& [answers, asked] : cases) {
    JobSession s;
    ASSERT_EQ(s.OpenBytes(ZipArchive({Encrypted(StoredEntry("one", BytesOf("first")), "secret"),
                                      StoredEntry("plain", BytesOf("not encrypted")),
                                      Encrypted(StoredEntry("two", BytesOf("second")), "secret")}),
                          "e.zip"),
              kResultOk);
    s.jobs->host.password = "secret";
    s.script.answers = answers;
    EXPECT_EQ(s.Run(kJobTest), kResultOk);
    EXPECT_EQ(s.script.asked[kUpdatePasswordPrompt], asked);
    EXPECT_EQ(s.jobs->host.outcome, kOutcomeTestPassed);
  }
}

// With the base folder setting the names would start with "tree/" (CliVerbs, the UI tests).
TEST(Jobs, AddFolderSkipsTheArchiveHiddenFilesAndDotFolders) {
  JobSession s;
  const std::filesystem::path tree = s.dir.Path("tree");
  std::filesystem::create_directories(tree / "inner");
  std::filesystem::create_directories(tree / ".git");
  WriteBytes(tree / "one.txt", BytesOf("1"));
  WriteBytes(tree / "inner" / "two.txt", BytesOf("22"));
  WriteBytes(tree / ".git" / "config", BytesOf("x"));
  WriteBytes(tree / ".hidden", BytesOf("h"));
  std::u16string hidden = Wide(tree / ".hidden");
  SetPathAttributes(hidden.c_str(), kAttrHidden);  // hidden on Windows; the name hides it elsewhere
  ASSERT_EQ(s.Open(tree / "inside.qbx"), kResultOk);
  s.SetJobPath(tree);
  EXPECT_EQ(s.Run(kJobAddFolder), kResultOk);
  Names names = s.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{u"inner/two.txt", u"one.txt"}));
  EXPECT_EQ(s.state().Archive.memberCount, 2u);
}

// An add is reported done only once it is on the disk: a flush that fails fails the job.
TEST(Jobs, AddIsFlushedBeforeItSucceeds) {
  for (uint32_t kind : {kJobAddFile, kJobAddFolder}) {
    JobSession s;
    std::filesystem::create_directories(s.dir.Path("tree"));
    WriteBytes(s.dir.Path("tree/one.txt"), BytesOf("1"));
    ASSERT_EQ(s.OpenNew(), kResultOk);
    s.SetJobPath(s.dir.Path(kind == kJobAddFile ? "tree/one.txt" : "tree"));
    ArmFault(kFaultFlush, 1);
    EXPECT_EQ(s.Run(kind), kResultWrite) << kind;
    DisarmFaults();
    EXPECT_EQ(s.jobs->host.outcome, kOutcomeInsertionFailed);
  }
}

TEST(Jobs, RelativeNameStart) {
  const std::tuple<const char16_t*, uint32_t, uint32_t> cases[] = {
      {u"C:\\Data\\Photos", 0, 15}, {u"C:\\Data\\Photos\\", 0, 15}, {u"C:\\Data\\Photos", 1, 8},
      {u"C:\\Data\\Photos\\", 1, 8}, {u"D:\\", 1, 3},               {u"D:\\", 0, 3},
      {u"tree", 1, 0},               {u"/tmp/tree", 1, 5},
  };
  for (const auto& [folder, base, start] : cases) EXPECT_EQ(RelativeNameStart(folder, base), start);
}

// The mode job and what the edits leave in the file: CliVerbs.AFullRoundOnATarArchive.
TEST(Jobs, RowJobsRenameTheSelectedRows) {
  JobSession s;
  ASSERT_EQ(s.OpenBytes(TarBytes({{{"ab", 0}, {}}, {{"abcdef", 0}, {}}, {{"a\\b", 0}, {}}})), kResultOk);
  SelectMembers(s.jobs, {0, 1});
  s.state().JobParameter = 3;
  EXPECT_EQ(s.Run(kJobTrimPrefix), kResultOk);
  EXPECT_EQ(s.Names(), (Names{u"", u"def", u"a\\b"}));
  for (TerminalRow& r : s.jobs->host.rows) r.selected = r.member == 2;
  s.state().Totals.SelectedCount = 1;
  s.SetJobPath("new/");
  EXPECT_EQ(s.Run(kJobPrependPrefix), kResultOk);
  EXPECT_EQ(s.Names()[2], u"new/a/b");
}

// The progress dialog ends only on a done message carrying its own token, so a token must
// never come back: not from the job before, and not by alternating with it.
TEST(Jobs, DialogTokenOfEachOpeningIsNew) {
  JobSession s;
  WriteBytes(s.dir.Path("a.tar"), FiveMemberTar());
  std::set<uint32_t> tokens = {s.state().DialogToken};
  for (int opening = 0; opening < 4; ++opening) {
    s.SetJobPath(s.dir.Path("a.tar"));
    ASSERT_TRUE(StartJob(&s.state(), kJobOpenAndList));
    ThreadWait(s.state().WorkerThread);
    EXPECT_TRUE(tokens.insert(s.state().DialogToken).second) << "opening " << opening;
    s.state().Archive.jobState.store(kJobIdle);
  }
  EXPECT_EQ(s.jobs->host.rows.size(), 5u);  // each opening replaced the rows
  EXPECT_FALSE(StartJob(&s.state(), kJobKindCount));
  EXPECT_EQ(s.state().Archive.jobState.load(), kJobIdle);
}
}  // namespace
