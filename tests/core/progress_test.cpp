// Progress accounting and the pause and cancel poll.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "core/progress.h"
#include "formats/formats.h"
#include "support/result_printer.h"

namespace {
struct Fixture {
  ArchiveContext context;
  Fixture() { InitArchiveContext(&context, AllFormatTable()); }
};

int gReports = 0;
void CountReport(const ProgressBlock*) { ++gReports; }

TEST(Progress, ZeroTotalNeverDividesByZero) {
  Fixture f;
  ProgressBegin(&f.context, 0, nullptr, 0);
  const ProgressBlock& b = f.context.progress;
  EXPECT_DOUBLE_EQ(b.totalMiB, 0.000001);
  EXPECT_DOUBLE_EQ(b.fraction, 1.0);
  ProgressAdvance(&f.context, 0);
  EXPECT_TRUE(std::isfinite(b.remainingSec));
  EXPECT_TRUE(std::isfinite(b.inRate));
  ProgressSkip(&f.context, 0);
  EXPECT_TRUE(std::isfinite(b.fraction));
}

TEST(Progress, AdvanceSkipAndPositionArithmetic) {
  Fixture f;
  gReports = 0;
  ProgressBegin(&f.context, 4 * 1048576, CountReport, 77);
  const ProgressBlock& b = f.context.progress;
  EXPECT_EQ(b.userValue, 77u);
  ProgressAdvance(&f.context, 1048576);
  EXPECT_EQ(b.doneBytes, 1048576u);
  EXPECT_NEAR(b.fraction, 0.25, 1e-6);
  EXPECT_DOUBLE_EQ(b.outMiB, b.doneMiB);
  ProgressAdvanceInOut(&f.context, 1048576, 3 * 1048576);
  EXPECT_NEAR(b.doneMiB, 2.0, 1e-5);
  EXPECT_NEAR(b.outMiB, 4.0, 1e-5);
  ProgressSkip(&f.context, 2 * 1048576);  // a skipped member: what is done is now all
  EXPECT_NEAR(b.fraction, 1.0, 1e-5);
  ProgressPosition(&f.context, 512);
  EXPECT_EQ(b.doneBytes, 512u);
  EXPECT_EQ(gReports, 5);
}

TEST(Progress, PausedTimeIsTakenOutOfTheElapsedTime) {
  Fixture f;
  ProgressBegin(&f.context, 1000, nullptr, 0);
  ProgressBlock& b = f.context.progress;
  double before = b.elapsedSec;
  // Ten seconds ago, of which 9.5 were spent paused.
  b.lastTick = TickCount() - 10000;
  b.pausedMs = 9500;
  ProgressAdvance(&f.context, 10);
  EXPECT_GT(b.elapsedSec - before, 0.45);
  EXPECT_LT(b.elapsedSec - before, 1.5);
  EXPECT_EQ(b.pausedMs, 0u);
}

TEST(WaitWhilePaused, CancelStopsAndPauseCountsItsTime) {
  Fixture f;
  f.context.jobState = kJobRunning;
  EXPECT_EQ(WaitWhilePaused(&f.context), 0u);
  f.context.jobState = kJobCancelling;
  EXPECT_EQ(WaitWhilePaused(&f.context), 1u);
  EXPECT_EQ(f.context.result, 1u);

  f.context.jobState = kJobPaused;
  f.context.progress.pausedMs = 0;
  std::thread resume([&] {
    SleepMs(700);
    f.context.jobState = kJobCancelling;
  });
  EXPECT_EQ(WaitWhilePaused(&f.context), 1u);
  resume.join();
  EXPECT_GE(f.context.progress.pausedMs, 500u);
  EXPECT_EQ(f.context.progress.pausedMs % 500, 0u);
}
}  // namespace
