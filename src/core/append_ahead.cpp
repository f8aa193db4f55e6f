// The queued files go through a work ring (core/work_ring.h): workers prepare them in queue
// order, the calling thread appends the oldest once it is prepared.
#include "core/append_ahead.h"

#include <cstring>
#include <new>

#include "core/append.h"
#include "core/work_ring.h"

namespace {
// Files queued beyond one per worker (the ring holds 16 at most): small files take less time
// than it takes to wake a worker for them, and while the calling thread writes or encodes a
// large one itself the workers need many small ones to go on with. A done file holds at
// most kMaxPreparedSource bytes.
constexpr uint32_t kSpareSlots = 14;
constexpr uint32_t kPauseStepMs = 100;

struct AheadFile {
  char16_t* path;  // the source's path, then its stored name, in one allocation
  char16_t* name;
  PreparedData data;
};
}  // namespace

struct AppendAhead {
  const AppendSteps* steps;
  uint32_t level;
  const std::atomic<uint32_t>* jobState;
  WorkRing* ring;
};

namespace {
void WaitWhilePausedOnly(const std::atomic<uint32_t>* jobState) {
  while (jobState->load() == kJobPaused) SleepMs(kPauseStepMs);
}

void PrepareFile(void* shared, void* job) {
  auto* a = static_cast<AppendAhead*>(shared);
  auto* file = static_cast<AheadFile*>(job);
  WaitWhilePausedOnly(a->jobState);
  if (a->jobState->load() != kJobCancelling) a->steps->prepare(file->path, a->level, a->jobState, &file->data);
}

uint32_t Length(const char16_t* text) {
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

AheadFile* NewAheadFile(const char16_t* sourcePath, const char16_t* storedName) {
  const uint32_t pathLength = Length(sourcePath) + 1, nameLength = Length(storedName) + 1;
  auto* file = new (std::nothrow) AheadFile{};
  auto* text = new (std::nothrow) char16_t[pathLength + nameLength];
  if (file == nullptr || text == nullptr) {
    delete file;
    delete[] text;
    return nullptr;
  }
  std::memcpy(text, sourcePath, pathLength * sizeof(char16_t));
  std::memcpy(text + pathLength, storedName, nameLength * sizeof(char16_t));
  file->path = text;
  file->name = text + pathLength;
  return file;
}

void FreeAheadFile(void* job) {
  auto* file = static_cast<AheadFile*>(job);
  FreePreparedData(&file->data);
  delete[] file->path;
  delete file;
}

ResultCode AppendOldest(ArchiveContext* context, AppendAhead* a) {
  auto* file = static_cast<AheadFile*>(WorkRingTake(a->ring));
  if (context->onAppendStart != nullptr) context->onAppendStart(context, file->path);
  context->prepared = file->data.ready ? &file->data : nullptr;
  const ResultCode r = AppendFile(context, file->path, file->name);
  context->prepared = nullptr;
  FreeAheadFile(file);
  return r;
}
}  // namespace

void FreePreparedData(PreparedData* data) {
  delete[] data->bytes;
  *data = {};
}

void StartAppendAhead(ArchiveContext* context, uint32_t workers) {
  const AppendSteps* steps = AppendStepsOf(context);
  if (!context->appendBatch.on || context->appendBatch.ahead != nullptr || steps == nullptr ||
      steps->prepare == nullptr || workers < 2)
    return;
  auto* a = new (std::nothrow) AppendAhead{steps, context->compressionLevel, &context->jobState, nullptr};
  if (a == nullptr) return;  // the batch goes on file by file
  a->ring = StartWorkRing(workers, kSpareSlots, PrepareFile, a);
  if (a->ring == nullptr) {
    delete a;
    return;
  }
  context->appendBatch.ahead = a;
}

ResultCode AppendFileAhead(ArchiveContext* context, const char16_t* sourcePath, const char16_t* storedName) {
  AppendAhead* a = context->appendBatch.ahead;
  if (a == nullptr) {
    if (context->onAppendStart != nullptr) context->onAppendStart(context, sourcePath);
    return AppendFile(context, sourcePath, storedName);
  }
  if (context->result != kResultOk) return context->result;
  if (WorkRingFull(a->ring) && AppendOldest(context, a) != kResultOk) return context->result;
  AheadFile* file = NewAheadFile(sourcePath, storedName);
  if (file == nullptr) return Fail(context, kResultNoMemory);
  WorkRingPut(a->ring, file);
  return kResultOk;
}

ResultCode FinishAppendAhead(ArchiveContext* context) {
  AppendAhead* a = context->appendBatch.ahead;
  if (a == nullptr) return context->result;
  while (WorkRingCount(a->ring) > 0 && context->result == kResultOk && AppendOldest(context, a) == kResultOk) {
  }
  StopWorkRing(a->ring, FreeAheadFile);
  delete a;
  context->appendBatch.ahead = nullptr;
  return context->result;
}
