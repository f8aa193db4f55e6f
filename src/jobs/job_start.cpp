#include "jobs/jobs.h"

namespace {
constexpr JobBody kBodies[kJobKindCount] = {
    RunOpenAndList, RunAddFile, RunAddFolder, RunExtract, RunTest, RunPrependPrefix, RunTrimPrefix, RunChangeMode,
};

struct WorkerStart {
  MainState* state;
  JobBody body;
};
WorkerStart gWorkerStart;

uint32_t WorkerMain(void* argument) {
  auto* start = static_cast<WorkerStart*>(argument);
  return start->body(start->state);
}

uint32_t HashBytes(uint32_t h, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    h += bytes[i];
    h = (h << 1) | (h >> 31);
  }
  return h;
}
}  // namespace

JobBody JobBodyOf(uint32_t kind) { return kind < kJobKindCount ? kBodies[kind] : nullptr; }

uint32_t ComputeDialogToken(const MainState* state) {
  // The handles from the instance to the token itself: the new dialog's handle, the
  // previous worker and the previous token make each opening differ.
  uint32_t h = 0;
  h = HashBytes(h, &state->Instance, sizeof state->Instance);
  h = HashBytes(h, &state->ProcessId, sizeof state->ProcessId);
  h = HashBytes(h, &state->MainWindow, sizeof state->MainWindow);
  h = HashBytes(h, &state->ProgressDialog, sizeof state->ProgressDialog);
  h = HashBytes(h, &state->StatusText, sizeof state->StatusText);
  h = HashBytes(h, &state->WorkerThread, sizeof state->WorkerThread);
  h = HashBytes(h, &state->WorkerThreadId, sizeof state->WorkerThreadId);
  h = HashBytes(h, &state->DialogToken, sizeof state->DialogToken);
  return h;
}

bool StartJob(MainState* state, uint32_t kind) {
  if (state->WorkerThread != kNoThread) {
    ThreadClose(state->WorkerThread);
    state->WorkerThread = kNoThread;
  }
  if (!TakeSelection(state)) return false;
  state->Archive.jobState.store(kJobRunning);
  uint32_t token = ComputeDialogToken(state);
  // A token equal to the last one would let a late message end the new dialog.
  state->DialogToken = token != state->DialogToken ? token : token + 1;
  JobBody body = JobBodyOf(kind);
  if (body != nullptr) {
    gWorkerStart = {state, body};
    state->WorkerThread = ThreadStart(WorkerMain, &gWorkerStart, &state->WorkerThreadId);
  }
  if (state->WorkerThread == kNoThread) {
    state->Archive.jobState.store(kJobIdle);
    return false;
  }
  return true;
}
