#include "core/work_ring.h"

#include <condition_variable>
#include <mutex>
#include <new>

#include "platform/platform.h"

namespace {
constexpr uint32_t kMaxSlots = 2 * kMaxRingWorkers;

struct Slot {
  void* job;
  bool taken;  // by a worker
  bool done;
};
}  // namespace

struct WorkRing {
  std::mutex lock;
  // Two conditions, so that a job done wakes only the caller and a job put only one worker.
  std::condition_variable workPut;
  std::condition_variable jobDone;
  WorkFunction work;
  void* shared;
  Slot slots[kMaxSlots];
  uint32_t slotCount;
  uint32_t first;  // the oldest job not taken back
  uint32_t count;
  bool stopping;
  uint32_t workerCount;
  ThreadHandle workers[kMaxRingWorkers];
};

namespace {
Slot* OldestUntaken(WorkRing* ring) {
  for (uint32_t i = 0; i < ring->count; ++i) {
    Slot* slot = &ring->slots[(ring->first + i) % ring->slotCount];
    if (!slot->taken) return slot;
  }
  return nullptr;
}

uint32_t Work(void* argument) {
  auto* ring = static_cast<WorkRing*>(argument);
  std::unique_lock<std::mutex> hold(ring->lock);
  for (;;) {
    Slot* slot = nullptr;
    ring->workPut.wait(hold, [&] { return ring->stopping || (slot = OldestUntaken(ring)) != nullptr; });
    if (ring->stopping) return 0;
    slot->taken = true;
    void* job = slot->job;
    hold.unlock();
    ring->work(ring->shared, job);
    hold.lock();
    slot->done = true;
    if (slot == &ring->slots[ring->first]) ring->jobDone.notify_one();
  }
}
}  // namespace

WorkRing* StartWorkRing(uint32_t workers, uint32_t spare, WorkFunction work, void* shared) {
  if (workers < 2) return nullptr;
  auto* ring = new (std::nothrow) WorkRing();
  if (ring == nullptr) return nullptr;
  const uint32_t wanted = workers < kMaxRingWorkers ? workers : kMaxRingWorkers;
  ring->work = work;
  ring->shared = shared;
  ring->slotCount = wanted + (spare < kMaxSlots - wanted ? spare : kMaxSlots - wanted);
  for (uint32_t i = 0; i < wanted; ++i) {
    const ThreadHandle t = ThreadStart(Work, ring, nullptr);
    if (t == kNoThread) break;
    ring->workers[ring->workerCount++] = t;
  }
  if (ring->workerCount == 0) {
    delete ring;
    return nullptr;
  }
  return ring;
}

uint32_t WorkRingCount(const WorkRing* ring) { return ring->count; }
bool WorkRingFull(const WorkRing* ring) { return ring->count == ring->slotCount; }

void WorkRingPut(WorkRing* ring, void* job) {
  std::lock_guard<std::mutex> hold(ring->lock);
  ring->slots[(ring->first + ring->count) % ring->slotCount] = {job, false, false};
  ring->count += 1;
  ring->workPut.notify_one();
}

void* WorkRingTake(WorkRing* ring) {
  std::unique_lock<std::mutex> hold(ring->lock);
  if (ring->count == 0) return nullptr;
  Slot* slot = &ring->slots[ring->first];
  ring->jobDone.wait(hold, [&] { return slot->done; });
  void* job = slot->job;
  *slot = {};
  ring->first = (ring->first + 1) % ring->slotCount;
  ring->count -= 1;
  return job;
}

void StopWorkRing(WorkRing* ring, void (*discard)(void* job)) {
  {
    std::lock_guard<std::mutex> hold(ring->lock);
    ring->stopping = true;
    ring->workPut.notify_all();
  }
  for (uint32_t i = 0; i < ring->workerCount; ++i) {
    ThreadWait(ring->workers[i]);
    ThreadClose(ring->workers[i]);
  }
  for (uint32_t i = 0; i < ring->count; ++i) discard(ring->slots[(ring->first + i) % ring->slotCount].job);
  delete ring;
}
