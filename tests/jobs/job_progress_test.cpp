// What the jobs make of progress: the report throttle, the total after a skipped member,
// and prompt time kept out of the working time.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cli/terminal_host.h"
#include "core/archive.h"
#include "jobs/jobs.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/zip_builder.h"

namespace {
void Ignore(void*, CliStream, const char*, size_t) {}
const CliIo kQuiet = {Ignore, nullptr};

// ---- The throttle: one report per 250 ms, and always the final one.

struct SentReports {
  std::vector<uint32_t> codes;
};

void RecordProgress(MainState* state, uint32_t code, const ProgressBlock*) {
  static_cast<SentReports*>(state->HostUser)->codes.push_back(code);
}

struct ThrottleCase {
  const char* what;
  uint32_t lastSent;   // the tick of the last report sent
  uint32_t sinceLast;  // milliseconds from it to this report
  bool finished;       // every byte done
  bool bar;            // the bar-only report instead of the full one
  bool sent;
};

class JobProgressThrottle : public testing::TestWithParam<ThrottleCase> {};

TEST_P(JobProgressThrottle, SendsOnlyPastTheIntervalOrAtTheEnd) {
  const ThrottleCase& c = GetParam();
  auto state = std::make_unique<MainState>();
  SentReports sent;
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
  if (c.sent) {
    EXPECT_EQ(sent.codes, std::vector<uint32_t>{c.bar ? kUpdateBarProgress : kUpdateFullProgress});
    EXPECT_EQ(state->LastProgressTick, block.lastTick);  // the next interval starts here
  } else {
    EXPECT_TRUE(sent.codes.empty());
    EXPECT_EQ(state->LastProgressTick, c.lastSent);
  }
}

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
INSTANTIATE_TEST_SUITE_P(Jobs, JobProgressThrottle, testing::ValuesIn(kThrottleCases), CaseName());

// ---- Extraction through the terminal host: totals and working time.

// A prompt that keeps the user a minute before the terminal's own answer.
uint32_t AskAfterAMinute(MainState* state, uint32_t code, const char16_t* text) {
  AdvanceTicks(60000);
  return TerminalJobHost()->askPrompt(state, code, text);
}

struct Extraction {
  CliJobs* jobs = NewCliJobs(kQuiet);
  JobHost host = *TerminalJobHost();
  ScratchDir dir;
  Extraction() {
    jobs->state.Host = &host;
    jobs->host.keepEntries = true;
    std::filesystem::create_directories(dir.Path("out"));
  }
  ~Extraction() {
    CloseArchive(&jobs->state.Archive);
    DeleteCliJobs(jobs);
  }
  void SetJobPath(const std::filesystem::path& p) {
    std::u16string w = Wide(p);
    std::fill(std::begin(jobs->state.JobPath), std::end(jobs->state.JobPath), 0);
    std::copy(w.begin(), w.end(), jobs->state.JobPath);
  }
  ResultCode Open(const std::string& name, const Bytes& archive) {
    WriteBytes(dir.Path(name), archive);
    SetJobPath(dir.Path(name));
    return RunCliJob(jobs, kJobOpenAndList);
  }
  ResultCode Extract() {
    char16_t previous[4096];
    EXPECT_TRUE(GetCurrentFolder(previous, 4096));
    SetJobPath(dir.Path("out"));
    ResultCode r = RunCliJob(jobs, kJobExtract);
    SetCurrentFolder(previous);
    return r;
  }
  // The stored size of the listed member of that name.
  int64_t PackedSize(const std::u16string& name) const {
    for (const TerminalRow& r : jobs->host.rows)
      if (r.cells[kColumnName] == name) return jobs->host.entries[r.entry].packedSize;
    ADD_FAILURE() << "no member of that name";
    return 0;
  }
  const ProgressBlock& Progress() const { return jobs->state.Archive.progress; }
};

Bytes ThreeFileTar() {
  Bytes a;
  AppendTarMember(a, {"a.txt", 1}, BytesOf("a"));
  AppendTarMember(a, {"b.txt", 700}, Bytes(700, 'b'));
  AppendTarMember(a, {"c.txt", 3}, BytesOf("ccc"));
  AppendZeroBlocks(a, 2);
  return a;
}

Bytes EncryptedZip() {
  return ZipArchive({StoredEntry("plain", BytesOf("not encrypted")),
                     Encrypted(StoredEntry("locked", BytesOf("a secret text")), "secret")});
}

struct ArchiveCase {
  const char* what;
  bool zip;                               // EncryptedZip, else ThreeFileTar
  std::vector<std::string> existing;      // files already in the destination
  uint32_t overwriteAnswer;
  uint32_t passwordAnswer;
  std::vector<std::u16string> skipped;    // members the answers leave out
};

// The total shrinks by what is skipped, so the bar still ends full.
class JobProgressSkip : public testing::TestWithParam<ArchiveCase> {};

TEST_P(JobProgressSkip, TakesSkippedMembersOutOfTheTotal) {
  const ArchiveCase& c = GetParam();
  Extraction x;
  ASSERT_EQ(x.Open(c.zip ? "e.zip" : "a.tar", c.zip ? EncryptedZip() : ThreeFileTar()), kResultOk);
  for (const std::string& name : c.existing) WriteBytes(x.dir.Path("out") / name, BytesOf("old"));
  x.jobs->host.overwriteAnswer = c.overwriteAnswer;
  x.jobs->host.passwordAnswer = c.passwordAnswer;
  int64_t skipped = 0;
  for (const std::u16string& name : c.skipped) skipped += x.PackedSize(name);
  ASSERT_GT(skipped, 0);
  int64_t listed = static_cast<int64_t>(x.jobs->state.Totals.TotalSize);
  EXPECT_EQ(x.Extract(), kResultOk);
  EXPECT_EQ(x.Progress().totalBytes, listed - skipped);
  EXPECT_EQ(x.Progress().doneBytes, static_cast<uint64_t>(listed - skipped));
}

const ArchiveCase kSkipCases[] = {
    {"existing file kept", false, {"b.txt"}, kAnswerSkip, 0, {u"b.txt"}},
    {"every existing file kept", false, {"a.txt", "c.txt"}, kAnswerSkipAll, 0, {u"a.txt", u"c.txt"}},
    {"encrypted member skipped", true, {}, 0, kAnswerSkipAll, {u"locked"}},
};
INSTANTIATE_TEST_SUITE_P(Jobs, JobProgressSkip, testing::ValuesIn(kSkipCases), CaseName());

// Time spent answering a prompt is paused time, not working time.
class JobProgressPrompt : public testing::TestWithParam<ArchiveCase> {};

TEST_P(JobProgressPrompt, WaitingIsNotWorkingTime) {
  const ArchiveCase& c = GetParam();
  Extraction x;
  ASSERT_EQ(x.Open(c.zip ? "e.zip" : "a.tar", c.zip ? EncryptedZip() : ThreeFileTar()), kResultOk);
  for (const std::string& name : c.existing) WriteBytes(x.dir.Path("out") / name, BytesOf("old"));
  x.jobs->host.overwriteAnswer = c.overwriteAnswer;
  x.jobs->host.passwordAnswer = c.passwordAnswer;
  x.jobs->host.password = "secret";
  x.host.askPrompt = AskAfterAMinute;
  uint32_t advancedBefore = TicksAdvanced();
  EXPECT_EQ(x.Extract(), kResultOk);
  ASSERT_EQ(TicksAdvanced() - advancedBefore, 60000u);  // one prompt, answered after a minute
  EXPECT_LT(x.Progress().elapsedSec, 30.0);
  EXPECT_EQ(x.Progress().doneBytes, x.jobs->state.Totals.TotalSize);  // and nothing was skipped
}

const ArchiveCase kPromptCases[] = {
    {"overwrite prompt", false, {"b.txt"}, kAnswerDo, 0, {}},
    {"password prompt", true, {}, 0, kAnswerDo, {}},
};
INSTANTIATE_TEST_SUITE_P(Jobs, JobProgressPrompt, testing::ValuesIn(kPromptCases), CaseName());
}  // namespace
