#include "jobs/job_host.h"
#include "jobs/jobs.h"

namespace {
void SendThrottled(const ProgressBlock* block, uint32_t code) {
  MainState* state = StateOf(block);
  uint32_t t = block->lastTick;
  bool done = block->doneBytes == static_cast<uint64_t>(block->totalBytes);
  if (t - state->LastProgressTick <= kProgressIntervalMs && !done) return;
  state->Host->sendProgress(state, code, block);
  state->LastProgressTick = t;
}
}  // namespace

void FullProgressCallback(const ProgressBlock* block) { SendThrottled(block, kUpdateFullProgress); }

void BarProgressCallback(const ProgressBlock* block) { SendThrottled(block, kUpdateBarProgress); }
