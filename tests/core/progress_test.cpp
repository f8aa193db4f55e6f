// Progress accounting and the pause and cancel poll. Prompt time kept out of the working
// time: JobProgressPrompt.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "core/archive.h"
#include "core/progress.h"
#include "support/archive_builder.h"

namespace {
std::vector<uint64_t> gDone;  // doneBytes of each report
void RecordDone(const ProgressBlock* block) { gDone.push_back(block->doneBytes); }

// Each step reports; a skipped member leaves the total, so what was done becomes all of it.
TEST(Progress, StepsReportAndSkipCorrectsTheTotal) {
  ListingContext f("never opened");
  gDone.clear();
  ProgressBegin(&f.context, 4 * 1048576, RecordDone, 0);
  const ProgressBlock& b = f.context.progress;
  ProgressAdvance(&f.context, 1048576);
  EXPECT_NEAR(b.fraction, 0.25, 1e-6);
  EXPECT_DOUBLE_EQ(b.outMiB, b.doneMiB);
  ProgressAdvanceInOut(&f.context, 1048576, 3 * 1048576);
  EXPECT_NEAR(b.doneMiB, 2.0, 1e-5);
  EXPECT_NEAR(b.outMiB, 4.0, 1e-5);
  ProgressSkip(&f.context, 2 * 1048576);
  EXPECT_NEAR(b.fraction, 1.0, 1e-5);
  EXPECT_EQ(gDone.size(), 4u);
  // An empty archive never divides by zero.
  ProgressBegin(&f.context, 0, nullptr, 0);
  ProgressAdvance(&f.context, 0);
  ProgressSkip(&f.context, 0);
  EXPECT_TRUE(std::isfinite(b.fraction) && std::isfinite(b.remainingSec) && std::isfinite(b.inRate));
}

TEST(WaitWhilePaused, CancelStopsAndPauseCountsItsTime) {
  ListingContext f("never opened");
  f.context.jobState = kJobRunning;
  EXPECT_EQ(WaitWhilePaused(&f.context), kResultOk);
  f.context.jobState = kJobPaused;
  f.context.progress.pausedMs = 0;
  std::thread resume([&] {
    SleepMs(700);
    f.context.jobState = kJobCancelling;
  });
  EXPECT_EQ(WaitWhilePaused(&f.context), kResultCancelled);
  resume.join();
  EXPECT_EQ(f.context.result, kResultCancelled);
  EXPECT_GE(f.context.progress.pausedMs, 500u);
}

// What the walks report, from ProgressBegin on: the listing ends at the file's size, a TAR
// walk counts a member's padding at once, before its data.
TEST(Progress, RealWalksReportTheirBytes) {
  Bytes tar = TarBytes({{{"a", 1}, BytesOf("1")}, {{"b", 700}, Bytes(700, 'b')}});
  tar.resize(10240, 0);  // padded as GNU tar pads
  const Bytes qbx = QbxBytes({{"q", BytesOf("abc")}});
  struct Case { const char* what; const char* file; const Bytes* bytes; int64_t runTotal; std::vector<uint64_t> done; };
  const Case cases[] = {
      {"TAR listing", "a.tar", &tar, 0, {0, 1024, 2560, 10240}},
      {"QBX listing", "a.qbx", &qbx, 0, {0, 519, 519}},
      {"TAR test", "a.tar", &tar, 1536, {0, 511, 512, 836, 1536}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    WriteBytes(dir.Path(c.file), *c.bytes);
    ListingContext l(dir.Path(c.file));
    l.context.onProgress = RecordDone;
    gDone.clear();
    ASSERT_EQ(l.Open(), kResultOk);
    if (c.runTotal != 0) {  // 0: list only
      gDone.clear();
      l.context.onMember = [](ArchiveContext*) -> uint32_t { return 1; };
      ASSERT_EQ(RunMembers(&l.context, c.runTotal, 1), kResultOk);
    }
    EXPECT_EQ(gDone, c.done);
  }
}
}  // namespace
