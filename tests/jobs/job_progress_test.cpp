// What the jobs make of progress: the report throttle, the total after a skipped member,
// and prompt time kept out of the working time.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "jobs/job_session.h"
#include "support/case_name.h"
#include "support/zip_builder.h"

namespace {
// ---- The throttle: one report per 250 ms, and always the final one.

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

// ---- Extraction through the terminal host: totals and working time.

// zip: an encrypted member behind a plain one, else FiveMemberTar; existing: files already in
// the destination; answer: to the one prompt that comes; skipped: the stored bytes it leaves out.
struct ArchiveCase { const char* what; bool zip; std::vector<std::string> existing; uint32_t answer; uint64_t skipped; };
const ArchiveCase kPromptCases[] = {
    {"existing file kept", false, {"a.txt"}, kAnswerSkip, 512},
    {"every existing file kept", false, {"a.txt", "a-b"}, kAnswerSkipAll, 1024},
    {"encrypted member skipped", true, {}, kAnswerSkipAll, 25},
    {"existing file replaced", false, {"a.txt"}, kAnswerDo, 0},
    {"password given", true, {}, kAnswerDo, 0},
};

// The total shrinks by what is skipped, so the bar still ends full; and the minute the user
// takes to answer is paused time, not working time.
class JobProgressPrompt : public testing::TestWithParam<ArchiveCase> {};

TEST_P(JobProgressPrompt, SkippedBytesLeaveTheTotalAndWaitingIsNotWorking) {
  const ArchiveCase& c = GetParam();
  JobSession x;
  ASSERT_EQ(x.OpenBytes(c.zip ? ZipArchive({StoredEntry("plain", BytesOf("not encrypted")),
                                            Encrypted(StoredEntry("locked", BytesOf("a secret text")), "secret")})
                              : FiveMemberTar(),
                        c.zip ? "e.zip" : "a.tar"),
            kResultOk);
  std::filesystem::create_directories(x.dir.Path("out"));
  for (const std::string& name : c.existing) WriteBytes(x.dir.Path("out") / name, BytesOf("old"));
  x.jobs->host.password = "secret";
  x.script.answers = {c.answer};
  x.script.waitTicks = 60000;
  const uint64_t expected = x.state().Totals.TotalSize - c.skipped;
  const uint32_t advancedBefore = TicksAdvanced();
  EXPECT_EQ(x.Extract(x.dir.Path("out")), kResultOk);
  ASSERT_EQ(TicksAdvanced() - advancedBefore, 60000u);  // one prompt, answered after a minute
  const ProgressBlock& progress = x.state().Archive.progress;
  EXPECT_LT(progress.elapsedSec, 30.0);
  EXPECT_EQ(progress.totalBytes, static_cast<int64_t>(expected));
  EXPECT_EQ(progress.doneBytes, expected);
}
INSTANTIATE_TEST_SUITE_P(Jobs, JobProgressPrompt, testing::ValuesIn(kPromptCases), CaseName());
}  // namespace
