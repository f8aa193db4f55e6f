// A ring of queued files: workers take the oldest one nobody has taken and prepare it; the
// calling thread appends the oldest once it is prepared. Workers take files in queue order,
// so the oldest is always the first one taken and the calling thread never waits on a
// file that no worker has started.
#include "core/append_ahead.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>

#include "core/append.h"

namespace {
// A few files more than workers, so that a worker finding a short one has the next at hand.
constexpr uint32_t kSpareSlots = 2;
constexpr uint32_t kMaxSlots = kMaxAheadWorkers + kSpareSlots;
constexpr uint32_t kPauseStepMs = 100;

enum SlotState : uint32_t { kSlotQueued, kSlotWorking, kSlotDone };

struct AheadSlot {
  char16_t* path;  // the source's path, then its stored name, in one allocation
  char16_t* name;
  SlotState state;
  PreparedData data;
};

}  // namespace

struct AppendAhead {
  std::mutex lock;
  std::condition_variable changed;
  const AppendSteps* steps;
  uint32_t level;
  const std::atomic<uint32_t>* jobState;
  AheadSlot slots[kMaxSlots];
  uint32_t slotCount;  // the ring's size
  uint32_t first;      // the oldest queued file
  uint32_t count;      // files queued
  bool stopping;
  uint32_t workerCount;
  ThreadHandle workers[kMaxAheadWorkers];
};

namespace {

AheadSlot* OldestUntaken(AppendAhead* a) {
  for (uint32_t i = 0; i < a->count; ++i) {
    AheadSlot* slot = &a->slots[(a->first + i) % a->slotCount];
    if (slot->state == kSlotQueued) return slot;
  }
  return nullptr;
}

void WaitWhilePausedOnly(const std::atomic<uint32_t>* jobState) {
  while (jobState->load() == kJobPaused) SleepMs(kPauseStepMs);
}

uint32_t WorkAhead(void* argument) {
  auto* a = static_cast<AppendAhead*>(argument);
  std::unique_lock<std::mutex> hold(a->lock);
  for (;;) {
    AheadSlot* slot = nullptr;
    a->changed.wait(hold, [&] { return a->stopping || (slot = OldestUntaken(a)) != nullptr; });
    if (a->stopping) return 0;
    slot->state = kSlotWorking;
    hold.unlock();
    PreparedData data{};
    WaitWhilePausedOnly(a->jobState);
    if (a->jobState->load() != kJobCancelling) a->steps->prepare(slot->path, a->level, a->jobState, &data);
    hold.lock();
    slot->data = data;
    slot->state = kSlotDone;
    a->changed.notify_all();
  }
}

uint32_t Length(const char16_t* text) {
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

bool Enqueue(AppendAhead* a, const char16_t* sourcePath, const char16_t* storedName) {
  const uint32_t pathLength = Length(sourcePath) + 1, nameLength = Length(storedName) + 1;
  auto* text = new (std::nothrow) char16_t[pathLength + nameLength];
  if (text == nullptr) return false;
  std::memcpy(text, sourcePath, pathLength * sizeof(char16_t));
  std::memcpy(text + pathLength, storedName, nameLength * sizeof(char16_t));
  std::lock_guard<std::mutex> hold(a->lock);
  AheadSlot* slot = &a->slots[(a->first + a->count) % a->slotCount];
  *slot = {text, text + pathLength, kSlotQueued, {}};
  a->count += 1;
  a->changed.notify_one();
  return true;
}

// Removes the oldest file from the queue once it is prepared; the caller frees it.
AheadSlot TakeOldest(AppendAhead* a) {
  std::unique_lock<std::mutex> hold(a->lock);
  AheadSlot* slot = &a->slots[a->first];
  a->changed.wait(hold, [&] { return slot->state == kSlotDone; });
  const AheadSlot taken = *slot;
  *slot = {};
  a->first = (a->first + 1) % a->slotCount;
  a->count -= 1;
  return taken;
}

void FreeSlot(AheadSlot* slot) {
  FreePreparedData(&slot->data);
  delete[] slot->path;
  *slot = {};
}

ResultCode AppendOldest(ArchiveContext* context, AppendAhead* a) {
  AheadSlot slot = TakeOldest(a);
  if (context->onAppendStart != nullptr) context->onAppendStart(context, slot.path);
  context->prepared = slot.data.ready ? &slot.data : nullptr;
  const ResultCode r = AppendFile(context, slot.path, slot.name);
  context->prepared = nullptr;
  FreeSlot(&slot);
  return r;
}

void StopWorkers(AppendAhead* a) {
  {
    std::lock_guard<std::mutex> hold(a->lock);
    a->stopping = true;
    a->changed.notify_all();
  }
  for (uint32_t i = 0; i < a->workerCount; ++i) {
    ThreadWait(a->workers[i]);
    ThreadClose(a->workers[i]);
  }
  for (AheadSlot& slot : a->slots) FreeSlot(&slot);
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
  auto* a = new (std::nothrow) AppendAhead();
  if (a == nullptr) return;  // the batch goes on file by file
  a->steps = steps;
  a->level = context->compressionLevel;
  a->jobState = &context->jobState;
  a->workerCount = 0;
  const uint32_t wanted = workers < kMaxAheadWorkers ? workers : kMaxAheadWorkers;
  a->slotCount = wanted + kSpareSlots;
  for (uint32_t i = 0; i < wanted; ++i) {
    const ThreadHandle t = ThreadStart(WorkAhead, a, nullptr);
    if (t == kNoThread) break;
    a->workers[a->workerCount++] = t;
  }
  if (a->workerCount == 0) {
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
  if (a->count == a->slotCount && AppendOldest(context, a) != kResultOk) return context->result;
  if (!Enqueue(a, sourcePath, storedName)) return Fail(context, kResultNoMemory);
  return kResultOk;
}

ResultCode FinishAppendAhead(ArchiveContext* context) {
  AppendAhead* a = context->appendBatch.ahead;
  if (a == nullptr) return context->result;
  while (a->count > 0 && context->result == kResultOk && AppendOldest(context, a) == kResultOk) {
  }
  StopWorkers(a);
  delete a;
  context->appendBatch.ahead = nullptr;
  return context->result;
}
