// The jobs end to end over an in-memory list: open, extract with prompts, test, add
// folders, the row jobs, the selection they read and what they make of progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "formats/formats.h"
#include "jobs/folder_scan.h"
#include "jobs/job_host.h"
#include "jobs/job_session.h"
#include "jobs/jobs.h"
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

// Extraction through the terminal host, each prompt answered after a minute. A TAR (FiveMemberTar
// and more) meets out/a.txt, out/sub/b.txt and out/a-b ("old"), asked in member order; a ZIP
// holds an encrypted member, a plain one and another encrypted one. The total shrinks by what
// is skipped (or not selected), so the bar still ends full, and the minutes the user takes to
// answer are paused time, not working time. files: each path below out and its bytes ("none":
// absent). The Test job asks for passwords through the same code.
struct PromptCase {
  const char* what; bool zip; std::vector<uint32_t> answers, selected; uint32_t asked; uint64_t skipped;
  std::vector<std::pair<const char*, const char*>> files;
};
const PromptCase kPromptCases[] = {
    {"each file asked for", false, {kAnswerSkip, kAnswerDo}, {}, 3, 1024,  // the third skipped
     {{"a.txt", "old"}, {"sub/b.txt", "bb"}, {"a-b", "old"}, {"_etc/x", "etc"}, {"folder/file", "data"},
      {"_CON.txt", "c"}, {"_", "none"}}},
    {"overwrite all is remembered", false, {kAnswerDoAll}, {}, 1, 0, {{"a.txt", "a"}, {"sub/b.txt", "bb"}, {"a-b", "c"}}},
    {"skip all is remembered", false, {kAnswerSkipAll}, {}, 1, 1536, {{"a.txt", "old"}, {"sub/b.txt", "old"}, {"a-b", "old"}}},
    {"selected rows only", false, {kAnswerDo}, {2}, 1, 2560, {{"a.txt", "old"}, {"sub/b.txt", "bb"}, {"_etc/x", "none"}}},
    {"password for all", true, {kAnswerDoAll}, {}, 1, 0, {{"one", "first"}, {"plain", "not encrypted"}, {"two", "second"}}},
    {"skip all encrypted", true, {kAnswerSkipAll}, {}, 1, 35, {{"one", "none"}, {"plain", "not encrypted"}, {"two", "none"}}},
    {"password once, then skipped", true, {kAnswerDo, kAnswerSkip}, {}, 2, 18, {{"one", "first"}, {"two", "none"}}},
    {"skipped once, then password", true, {kAnswerSkip, kAnswerDo}, {}, 2, 17, {{"one", "none"}, {"two", "second"}}},
};
class JobsExtract : public testing::TestWithParam<PromptCase> {};

TEST_P(JobsExtract, AsksBeforeReplacingOrDecryptingAndCountsOnlyWorkingTime) {
  const PromptCase& c = GetParam();
  const Bytes five = FiveMemberTar();
  const Bytes tar = Joined({Cut(five, five.size() - 1024),  // without its end, to take more members
                            TarBytes({{{"./", 0, 1600000000, 0755, '5'}, {}},
                                      {{"./folder", 0, 1600000000, 0755, '5'}, {}},  // a directory, no slash
                                      {{"./folder/file", 4}, BytesOf("data")},
                                      {{"./CON.txt", 1}, BytesOf("c")}})});
  const Bytes zip = ZipArchive({Encrypted(StoredEntry("one", BytesOf("first")), "secret"),
                                StoredEntry("plain", BytesOf("not encrypted")),
                                Encrypted(StoredEntry("two", BytesOf("second")), "secret")});
  JobSession s;
  const std::filesystem::path out = s.dir.Path("out");
  std::filesystem::create_directories(out / "sub");
  if (!c.zip)
    for (const char* n : {"a.txt", "sub/b.txt", "a-b"}) WriteBytes(out / n, BytesOf("old"));
  ASSERT_EQ(s.OpenBytes(c.zip ? zip : tar, c.zip ? "e.zip" : "a.tar"), kResultOk);
  SelectMembers(s.jobs, c.selected);
  s.jobs->host.password = "secret";
  s.script.answers = c.answers;
  s.script.waitTicks = 60000;
  const uint64_t expected = s.state().Totals.TotalSize - c.skipped;
  const uint32_t advancedBefore = TicksAdvanced();
  EXPECT_EQ(s.Extract(out), kResultOk);
  EXPECT_EQ(s.script.asked[c.zip ? kUpdatePasswordPrompt : kUpdateOverwritePrompt], c.asked);
  EXPECT_EQ(s.jobs->host.outcome, kOutcomeCloseDialog);
  ASSERT_EQ(TicksAdvanced() - advancedBefore, 60000u * c.asked);
  const ProgressBlock& progress = s.state().Archive.progress;
  EXPECT_LT(progress.elapsedSec, 30.0);
  EXPECT_EQ(progress.totalBytes, static_cast<int64_t>(expected));
  EXPECT_EQ(progress.doneBytes, expected);
  for (const auto& [name, bytes] : c.files) {
    const bool there = std::filesystem::exists(out / name);
    EXPECT_EQ(there ? ReadBytes(out / name) : BytesOf("none"), BytesOf(bytes)) << name;
  }
}
INSTANTIATE_TEST_SUITE_P(Jobs, JobsExtract, testing::ValuesIn(kPromptCases), CaseName());

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
  SetPathAttributes(Wide(tree / ".hidden").c_str(), kAttrHidden);  // hidden on Windows; the name hides it elsewhere
  EXPECT_EQ(s.AddTree(tree / "inside.qbx"), kResultOk);
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
      {u"C:\\Data\\Photos", 0, 15}, {u"C:\\Data\\Photos\\", 0, 15}, {u"C:\\Data\\Photos", 1, 8}, {u"C:\\Data\\Photos\\", 1, 8},
      {u"D:\\", 1, 3}, {u"D:\\", 0, 3}, {u"tree", 1, 0}, {u"/tmp/tree", 1, 5}};
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

// The selection a job reads once at its start: exactly the selected members, also those
// whose index lies beyond what the member count suggested.
// everyRow: the selected members are every row there is.
struct SelectionCase { const char* what; uint32_t memberCount; std::vector<uint32_t> selected; bool everyRow = false; };

std::vector<uint32_t> gSelected;

uint32_t ReadTestSelection(MainState*, uint64_t* bits, uint32_t words) {
  uint32_t need = 0;
  for (uint32_t member : gSelected) need = std::max(need, MarkSelectedMember(bits, words, member));
  return need;
}

class Selection : public testing::TestWithParam<SelectionCase> {};

TEST_P(Selection, MarksExactlyTheSelectedMembers) {
  const SelectionCase& c = GetParam();
  JobHost host{};
  host.readSelection = ReadTestSelection;
  static MainState state;
  ASSERT_TRUE(InitMainState(&state, AllFormatTable(), &host, nullptr));
  state.Archive.memberCount = c.memberCount;
  state.Totals.SelectedCount = static_cast<uint32_t>(c.selected.size());
  if (c.everyRow) state.Totals.RowCount = state.Totals.ListedCount = state.Totals.SelectedCount;
  gSelected = c.selected;
  ASSERT_TRUE(TakeSelection(&state));
  for (uint32_t member = 0; member < 1100; ++member) {
    const bool expected = c.selected.empty() || c.everyRow || std::count(c.selected.begin(), c.selected.end(), member) != 0;
    EXPECT_EQ(IsSelectedMember(&state, member), expected) << member;
  }
  FreeMainState(&state);
}

const SelectionCase kSelectionCases[] = {{"none selected means all", 10, {}},
                                         {"first and last of a word", 200, {0, 63, 64, 127}},
                                         {"beyond the member count", 1, {0, 1000}},
                                         {"every row selected means all", 2, {0, 1}, true}};
INSTANTIATE_TEST_SUITE_P(Members, Selection, testing::ValuesIn(kSelectionCases), CaseName());

// ---- The progress throttle: one report per 250 ms, and always the final one.

void RecordProgress(MainState* state, uint32_t code, const ProgressBlock*) {
  static_cast<std::vector<uint32_t>*>(state->HostUser)->push_back(code);
}

// The tick of the last report sent, milliseconds from it to this report, every byte done or
// not, the bar-only report instead of the full one, and whether this one is sent.
struct ThrottleCase { const char* what; uint32_t lastSent, sinceLast; bool finished, bar, sent; };
const ThrottleCase kThrottleCases[] = {
    {"well inside the interval", 5000, 100, false, false, false},
    {"at the interval", 5000, 250, false, false, false},
    {"just past the interval", 5000, 251, false, false, true},
    {"final report inside the interval", 5000, 10, true, false, true},
    {"bar report past the interval", 5000, 400, false, true, true},
    {"bar report inside the interval", 5000, 100, false, true, false},
    {"past the interval across the counter wrap", 0xFFFFFF00u, 300, false, false, true},
    {"inside the interval across the counter wrap", 0xFFFFFFF0u, 100, false, false, false},
};

class JobProgressThrottle : public testing::TestWithParam<ThrottleCase> {};

TEST_P(JobProgressThrottle, SendsOnlyPastTheIntervalOrAtTheEnd) {
  const ThrottleCase& c = GetParam();
  auto state = std::make_unique<MainState>();
  std::vector<uint32_t> sent;
  JobHost host{};
  host.sendProgress = RecordProgress;
  state->Host = &host;
  state->HostUser = &sent;
  state->LastProgressTick = c.lastSent;
  ProgressBlock block{};
  block.userValue = reinterpret_cast<uintptr_t>(state.get());
  block.totalBytes = 1000;
  block.doneBytes = c.finished ? 1000 : 400;
  block.lastTick = c.lastSent + c.sinceLast;
  (c.bar ? BarProgressCallback : FullProgressCallback)(&block);
  EXPECT_EQ(sent, c.sent ? std::vector<uint32_t>{c.bar ? kUpdateBarProgress : kUpdateFullProgress}
                         : std::vector<uint32_t>{});
  EXPECT_EQ(state->LastProgressTick, c.sent ? block.lastTick : c.lastSent);  // the next interval starts there
}
INSTANTIATE_TEST_SUITE_P(Jobs, JobProgressThrottle, testing::ValuesIn(kThrottleCases), CaseName());

}  // namespace
