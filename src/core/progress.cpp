#include "core/progress.h"

namespace {
constexpr double kBytesPerMiB = 1048576.0;
constexpr double kStartMiB = 0.000001;
constexpr double kStartSeconds = 0.00001;
constexpr uint32_t kPauseStepMs = 500;

void Report(const ProgressBlock& block) {
  if (block.callback != nullptr) block.callback(&block);
}

// Takes the working time since the last step into the elapsed time; paused time is not work.
void TimeStep(ProgressBlock& block) {
  uint32_t now = TickCount();
  uint32_t d = now - block.pausedMs - block.lastTick;
  block.lastTick = now;
  block.pausedMs = 0;
  block.elapsedSec += d / 1000.0;
  block.remainingSec = block.elapsedSec / block.fraction - block.elapsedSec;
  block.inRate = block.doneMiB / block.elapsedSec;
  block.outRate = block.outMiB / block.elapsedSec;
  Report(block);
}
}  // namespace

void ProgressBegin(ArchiveContext* context, int64_t total, ProgressCallback callback,
                   uint64_t userValue) {
  ProgressBlock& b = context->progress;
  b.totalBytes = total;
  b.doneBytes = 0;
  b.doneMiB = kStartMiB;
  b.outMiB = kStartMiB;
  b.totalMiB = static_cast<double>(total) / kBytesPerMiB + kStartMiB;
  b.fraction = kStartMiB / b.totalMiB;
  b.lastTick = TickCount();
  b.pausedMs = 0;
  b.elapsedSec = kStartSeconds;
  b.remainingSec = 0;
  b.inRate = 0;
  b.outRate = 0;
  b.callback = callback;
  b.userValue = userValue;
  Report(b);
}

void ProgressAdvance(ArchiveContext* context, uint64_t n) {
  ProgressBlock& b = context->progress;
  b.doneBytes += n;
  b.doneMiB += static_cast<double>(n) / kBytesPerMiB;
  b.outMiB = b.doneMiB;
  b.fraction = b.doneMiB / b.totalMiB;
  TimeStep(b);
}

void ProgressAdvanceInOut(ArchiveContext* context, uint64_t nIn, uint64_t nOut) {
  ProgressBlock& b = context->progress;
  b.doneBytes += nIn;
  b.doneMiB += static_cast<double>(nIn) / kBytesPerMiB;
  b.outMiB += static_cast<double>(nOut) / kBytesPerMiB;
  b.fraction = b.doneMiB / b.totalMiB;
  TimeStep(b);
}

void ProgressSkip(ArchiveContext* context, int64_t amount) {
  ProgressBlock& b = context->progress;
  b.totalBytes -= amount;
  b.totalMiB = static_cast<double>(b.totalBytes) / kBytesPerMiB + kStartMiB;
  b.fraction = b.doneMiB / b.totalMiB;
  TimeStep(b);
}

void ProgressPosition(ArchiveContext* context, uint64_t offset) {
  ProgressBlock& b = context->progress;
  b.doneBytes = offset;
  b.doneMiB = static_cast<double>(offset) / kBytesPerMiB + kStartMiB;
  b.fraction = b.doneMiB / b.totalMiB;
  b.lastTick = TickCount();
  Report(b);
}

ResultCode WaitWhilePaused(ArchiveContext* context) {
  while (context->jobState.load() == kJobPaused) {
    context->progress.pausedMs += kPauseStepMs;
    SleepMs(kPauseStepMs);
  }
  if (context->jobState.load() == kJobCancelling) return Fail(context, kResultCancelled);
  return kResultOk;
}
