// The jobs end to end over an in-memory list: open, extract with prompts, test, add
// folders, and the row jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "cli/terminal_host.h"
#include "core/archive.h"
#include "core/filetime.h"
#include "jobs/folder_scan.h"
#include "jobs/jobs.h"
#include "support/archive_builder.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace {
void Ignore(void*, CliStream, const char*, size_t) {}
const CliIo kQuiet = {Ignore, nullptr};

// Prompt answers given in turn, and how often each prompt came.
struct Script {
  std::vector<uint32_t> answers;
  size_t next = 0;
  uint32_t asked[16] = {};
};
Script* gScript = nullptr;

uint32_t ScriptedAsk(MainState*, uint32_t code, const char16_t*) {
  gScript->asked[code] += 1;
  return gScript->next < gScript->answers.size() ? gScript->answers[gScript->next++] : kAnswerSkip;
}

struct Session {
  CliJobs* jobs;
  JobHost host;
  Script script;
  Session() : jobs(NewCliJobs(kQuiet)), host(*TerminalJobHost()) {
    host.askPrompt = ScriptedAsk;
    jobs->state.Host = &host;
    gScript = &script;
  }
  ~Session() {
    CloseArchive(&jobs->state.Archive);
    DeleteCliJobs(jobs);
    gScript = nullptr;
  }
  MainState& state() { return jobs->state; }
  void SetJobPath(const std::filesystem::path& p) {
    std::u16string w = Wide(p);
    std::fill(std::begin(state().JobPath), std::end(state().JobPath), 0);
    std::copy(w.begin(), w.end(), state().JobPath);
  }
  ResultCode Run(uint32_t kind) { return RunCliJob(jobs, kind); }
  ResultCode Open(const std::filesystem::path& archive) {
    SetJobPath(archive);
    return Run(kJobOpenAndList);
  }
  std::vector<std::u16string> Names() {
    std::vector<std::u16string> names;
    for (const TerminalRow& r : jobs->host.rows) names.push_back(r.cells[0]);
    return names;
  }
};

Bytes ThreeFileTar() {
  Bytes a;
  AppendTarMember(a, {"a.txt", 1}, BytesOf("a"));
  AppendTarMember(a, {"sub/", 0, 1600000000, 0755, '5'}, {});
  AppendTarMember(a, {"sub/b.txt", 2}, BytesOf("bb"));
  AppendTarMember(a, {"/etc/x", 3}, BytesOf("etc"));
  AppendTarMember(a, {"a:b", 1}, BytesOf("c"));
  AppendZeroBlocks(a, 2);
  return a;
}

TEST(Jobs, OpenListsRowsAndKeepsTheRevertPoint) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), ThreeFileTar());
  Session s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), 0u);
  EXPECT_EQ(s.Names(), (std::vector<std::u16string>{u"a.txt", u"sub/", u"sub/b.txt", u"/etc/x", u"a:b"}));
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
  ScratchDir dir;
  WriteBytes(dir.Path("x.bin"), BytesOf("plain text"));
  Session s;
  EXPECT_EQ(s.Open(dir.Path("x.bin")), 19u);
  EXPECT_TRUE(s.Names().empty());
  EXPECT_EQ(s.state().ArchivePath[0], 0);
  EXPECT_EQ(s.state().Archive.openMode, kModeClosed);
  // A cancel seen by the listing discards what was listed.
  WriteBytes(dir.Path("a.tar"), ThreeFileTar());
  s.SetJobPath(dir.Path("a.tar"));
  s.state().Archive.jobState.store(kJobCancelling);
  JobBodyOf(kJobOpenAndList)(&s.state());
  EXPECT_TRUE(s.Names().empty());
  EXPECT_EQ(s.state().Archive.openMode, kModeClosed);
  EXPECT_EQ(s.state().Totals.ListedCount, 0u);
}

TEST(Jobs, ExtractCleansNamesMakesFoldersAndAsksBeforeReplacing) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), ThreeFileTar());
  std::filesystem::create_directories(dir.Path("out"));
  WriteBytes(dir.Path("out/a.txt"), BytesOf("old a"));
  WriteBytes(dir.Path("out/a-b"), BytesOf("old c"));
  Session s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), 0u);
  char16_t previous[4096];
  ASSERT_TRUE(GetCurrentFolder(previous, 4096));
  s.SetJobPath(dir.Path("out"));
  s.script.answers = {kAnswerSkip, kAnswerDo};  // keep a.txt, replace a-b
  EXPECT_EQ(s.Run(kJobExtract), 0u);
  SetCurrentFolder(previous);
  EXPECT_EQ(s.script.asked[kUpdateOverwritePrompt], 2u);
  EXPECT_EQ(ReadBytes(dir.Path("out/a.txt")), BytesOf("old a"));
  EXPECT_EQ(ReadBytes(dir.Path("out/a-b")), BytesOf("c"));
  EXPECT_EQ(ReadBytes(dir.Path("out/sub/b.txt")), BytesOf("bb"));
  EXPECT_EQ(ReadBytes(dir.Path("out/_etc/x")), BytesOf("etc"));
  EXPECT_EQ(s.jobs->host.outcome, kOutcomeCloseDialog);
}

TEST(Jobs, DotStepsAndDirectoryMembersWithoutASlash) {
  ScratchDir dir;
  Bytes a;
  AppendTarMember(a, {"./", 0, 1600000000, 0755, '5'}, {});
  AppendTarMember(a, {"./folder", 0, 1600000000, 0755, '5'}, {});  // a directory, no slash
  AppendTarMember(a, {"./folder/file", 4}, BytesOf("data"));
  AppendTarMember(a, {"./CON.txt", 1}, BytesOf("c"));
  AppendZeroBlocks(a, 2);
  WriteBytes(dir.Path("dots.tar"), a);
  std::filesystem::create_directories(dir.Path("out"));
  Session s;
  ASSERT_EQ(s.Open(dir.Path("dots.tar")), 0u);
  char16_t previous[4096];
  ASSERT_TRUE(GetCurrentFolder(previous, 4096));
  s.SetJobPath(dir.Path("out"));
  EXPECT_EQ(s.Run(kJobExtract), 0u);
  SetCurrentFolder(previous);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("out/folder")));
  EXPECT_EQ(ReadBytes(dir.Path("out/folder/file")), BytesOf("data"));
  EXPECT_EQ(ReadBytes(dir.Path("out/_CON.txt")), BytesOf("c"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out/_")));
}

TEST(Jobs, OverwriteAllAndSkipAllAreRememberedForTheJob) {
  for (uint32_t first : {kAnswerDoAll, kAnswerSkipAll}) {
    SCOPED_TRACE(first);
    ScratchDir dir;
    WriteBytes(dir.Path("a.tar"), ThreeFileTar());
    std::filesystem::create_directories(dir.Path("out/sub"));
    for (const char* n : {"out/a.txt", "out/sub/b.txt", "out/a-b"}) WriteBytes(dir.Path(n), BytesOf("old"));
    Session s;
    ASSERT_EQ(s.Open(dir.Path("a.tar")), 0u);
    char16_t previous[4096];
    ASSERT_TRUE(GetCurrentFolder(previous, 4096));
    s.SetJobPath(dir.Path("out"));
    s.script.answers = {first};
    EXPECT_EQ(s.Run(kJobExtract), 0u);
    SetCurrentFolder(previous);
    EXPECT_EQ(s.script.asked[kUpdateOverwritePrompt], 1u);
    Bytes expected = first == kAnswerDoAll ? BytesOf("bb") : BytesOf("old");
    EXPECT_EQ(ReadBytes(dir.Path("out/sub/b.txt")), expected);
  }
}

TEST(Jobs, PasswordAnswersAreRememberedAndPlainMembersNeverAsk) {
  struct Case {
    std::vector<uint32_t> answers;
    uint32_t asked;
    ResultCode result;
    uint32_t outcome;
  };
  const Case cases[] = {
      {{kAnswerDoAll}, 1, kResultOk, kOutcomeTestPassed},            // asked once for both
      {{kAnswerSkipAll}, 1, kResultOk, kOutcomeTestPassed},          // the rest skipped silently
      {{kAnswerSkip, kAnswerSkip}, 2, kResultOk, kOutcomeTestPassed},  // asked for each
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    Bytes zip = ZipArchive({Encrypted(StoredEntry("one", BytesOf("first")), "secret"),
                            StoredEntry("plain", BytesOf("not encrypted")),
                            Encrypted(StoredEntry("two", BytesOf("second")), "secret")});
    WriteBytes(dir.Path("e.zip"), zip);
    Session s;
    ASSERT_EQ(s.Open(dir.Path("e.zip")), 0u);
    s.jobs->host.password = "secret";
    s.script.answers = c.answers;
    // The scripted prompt stands for the dialog, which leaves the typed password here.
    std::memcpy(s.state().Password, "secret", 7);
    EXPECT_EQ(s.Run(kJobTest), c.result);
    EXPECT_EQ(s.script.asked[kUpdatePasswordPrompt], c.asked);
    EXPECT_EQ(s.jobs->host.outcome, c.outcome);
  }
}

TEST(Jobs, SelectedRowsOnlyAndTheTestVerdict) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), ThreeFileTar());
  std::filesystem::create_directories(dir.Path("out"));
  Session s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), 0u);
  SelectMembers(s.jobs, {2});
  EXPECT_EQ(s.state().Totals.SelectedSize, 512u);
  char16_t previous[4096];
  ASSERT_TRUE(GetCurrentFolder(previous, 4096));
  s.SetJobPath(dir.Path("out"));
  EXPECT_EQ(s.Run(kJobExtract), 0u);
  SetCurrentFolder(previous);
  EXPECT_TRUE(std::filesystem::exists(dir.Path("out/sub/b.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out/a.txt")));
  EXPECT_EQ(s.Run(kJobTest), 0u);
  EXPECT_EQ(s.jobs->host.outcome, kOutcomeTestPassed);
}

TEST(Jobs, TestOfDamageFailsWithItsCode) {
  ScratchDir dir;
  Bytes a;
  AppendQbxMember(a, {"one", BytesOf("12345")});
  a[514] ^= 1;
  WriteBytes(dir.Path("a.qbx"), a);
  Session s;
  ASSERT_EQ(s.Open(dir.Path("a.qbx")), 0u);
  EXPECT_EQ(s.Run(kJobTest), 21u);
  EXPECT_EQ(s.jobs->host.outcome, kOutcomeTestFailed);
}

TEST(Jobs, AddFolderSkipsTheArchiveHiddenFilesAndDotFolders) {
  for (bool baseFolder : {false, true}) {
    SCOPED_TRACE(baseFolder);
    ScratchDir dir;
    auto tree = dir.Path("tree");
    std::filesystem::create_directories(tree / "inner");
    std::filesystem::create_directories(tree / ".git");
    WriteBytes(tree / "one.txt", BytesOf("1"));
    WriteBytes(tree / "inner" / "two.txt", BytesOf("22"));
    WriteBytes(tree / ".git" / "config", BytesOf("x"));
    WriteBytes(tree / ".hidden", BytesOf("h"));
    std::u16string hidden = Wide(tree / ".hidden");
    SetPathAttributes(hidden.c_str(), kAttrHidden);  // hidden on Windows; the name hides it elsewhere
    Session s;
    s.state().Options.BaseFolder = baseFolder ? 1 : 0;
    ASSERT_EQ(s.Open(tree / "inside.qbx"), 0u);
    s.SetJobPath(tree);
    EXPECT_EQ(s.Run(kJobAddFolder), 0u);
    std::vector<std::u16string> names = s.Names();
    std::sort(names.begin(), names.end());
    std::u16string lead = baseFolder ? u"tree/" : u"";
    EXPECT_EQ(names, (std::vector<std::u16string>{lead + u"inner/two.txt", lead + u"one.txt"}));
    EXPECT_EQ(s.state().Archive.memberCount, 2u);
  }
}

TEST(Jobs, AddFolderWithAnUnreadableFileAddsNothing) {
  ScratchDir dir;
  auto tree = dir.Path("tree");
  std::filesystem::create_directories(tree);
  WriteBytes(tree / "ok.txt", BytesOf("1"));
  WriteBytes(tree / "locked.txt", BytesOf("2"));
  // Held exclusively, as another program would hold it.
  std::u16string locked = Wide(tree / "locked.txt");
  FileHandle holder = FileOpen(locked.c_str(), kAccessReadWrite, kShareNone, kOpenExisting);
  ASSERT_NE(holder, kInvalidFile);
  Session s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), 0u);
  s.SetJobPath(tree);
  EXPECT_EQ(s.Run(kJobAddFolder), 45u);
  FileClose(holder);
  EXPECT_EQ(s.jobs->host.outcome, kOutcomeInsertionFailed);
  EXPECT_EQ(s.state().Archive.memberCount, 0u);
}

#ifndef _WIN32
// Windows itself cannot name such a path without its long-path prefix.
TEST(Jobs, AddFolderRefusesWhatItCouldNotAdd) {
  ScratchDir dir;
  auto deep = dir.Path("tree") / std::string(200, 'd');
  std::filesystem::create_directories(deep);
  WriteBytes(dir.Path("tree") / "short.txt", BytesOf("1"));
  WriteBytes(deep / std::string(120, 'f'), BytesOf("2"));
  Session s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), 0u);
  s.SetJobPath(dir.Path("tree"));
  EXPECT_EQ(s.Run(kJobAddFolder), 45u);
  EXPECT_EQ(s.state().Archive.memberCount, 0u);
  EXPECT_NE(s.jobs->host.statusText.find(std::u16string(200, u'd')), std::u16string::npos);  // the folder it cannot enter
}
#endif

TEST(Jobs, RelativeNameStart) {
  const std::tuple<const char16_t*, uint32_t, uint32_t> cases[] = {
      {u"C:\\Data\\Photos", 0, 15}, {u"C:\\Data\\Photos\\", 0, 15}, {u"C:\\Data\\Photos", 1, 8},
      {u"C:\\Data\\Photos\\", 1, 8}, {u"D:\\", 1, 3},               {u"D:\\", 0, 3},
      {u"tree", 1, 0},               {u"/tmp/tree", 1, 5},
  };
  for (const auto& [folder, base, start] : cases) EXPECT_EQ(RelativeNameStart(folder, base), start);
}

TEST(Jobs, RowJobsRenameTheSelectedRows) {
  ScratchDir dir;
  Bytes a;
  AppendTarMember(a, {"ab", 0}, {});
  AppendTarMember(a, {"abcdef", 0}, {});
  AppendTarMember(a, {"a\\b", 0}, {});
  AppendZeroBlocks(a, 2);
  WriteBytes(dir.Path("a.tar"), a);
  Session s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), 0u);
  SelectMembers(s.jobs, {0, 1});
  s.state().JobParameter = 3;
  EXPECT_EQ(s.Run(kJobTrimPrefix), 0u);
  EXPECT_EQ(s.Names(), (std::vector<std::u16string>{u"", u"def", u"a\\b"}));
  for (TerminalRow& r : s.jobs->host.rows) r.selected = r.member == 2;
  s.state().Totals.SelectedCount = 1;
  s.SetJobPath("new/");
  EXPECT_EQ(s.Run(kJobPrependPrefix), 0u);
  EXPECT_EQ(s.Names()[2], u"new/a/b");
  s.state().JobParameter = 0640;
  EXPECT_EQ(s.Run(kJobChangeMode), 0u);
  EXPECT_EQ(s.jobs->host.rows[2].cells[5], u"-rw-r-----");
  CloseArchive(&s.state().Archive);
  ListingContext again(dir.Path("a.tar"));
  ASSERT_EQ(again.Open(), 0u);
  EXPECT_EQ(NameOf(again.members[2].entry), "new/a/b");
  EXPECT_EQ(again.members[2].entry.mode, 0640u);
}

TEST(Jobs, DialogTokenDiffersFromOneOpeningToTheNext) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), ThreeFileTar());
  Session s;
  uint32_t tokens[3];
  for (uint32_t& token : tokens) {
    s.SetJobPath(dir.Path("a.tar"));
    ASSERT_TRUE(StartJob(&s.state(), kJobOpenAndList));
    ThreadWait(s.state().WorkerThread);
    token = s.state().DialogToken;
    s.state().Archive.jobState.store(kJobIdle);
  }
  EXPECT_NE(tokens[0], tokens[1]);
  EXPECT_NE(tokens[1], tokens[2]);
  EXPECT_EQ(s.jobs->host.rows.size(), 5u);
  EXPECT_FALSE(StartJob(&s.state(), 8));
  EXPECT_EQ(s.state().Archive.jobState.load(), kJobIdle);
}
}  // namespace
