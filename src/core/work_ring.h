// Jobs done by worker threads and taken back by the calling thread in the order they were
// put, so that work that must land in order (members written, members checked) still uses
// every core. Workers take jobs in ring order, so the oldest job is always the first one
// started and the caller never waits on a job that no worker has begun.
#pragma once

#include <cstdint>

inline constexpr uint32_t kMaxRingWorkers = 8;

struct WorkRing;
// Does one job; `shared` is what StartWorkRing was given. Runs on a worker thread.
using WorkFunction = void (*)(void* shared, void* job);

// Starts min(workers, kMaxRingWorkers) threads over a ring of that many slots plus `spare`.
// Null when workers is below 2 or neither memory nor a thread could be had: the caller then
// does the work itself.
WorkRing* StartWorkRing(uint32_t workers, uint32_t spare, WorkFunction work, void* shared);
// Jobs put and not yet taken back; a full ring takes no more. Only the calling thread puts
// and takes, so these need no lock.
uint32_t WorkRingCount(const WorkRing* ring);
bool WorkRingFull(const WorkRing* ring);
// Queues a job (the ring must not be full); the job stays the caller's to free.
void WorkRingPut(WorkRing* ring, void* job);
// The oldest job once a worker has done it (waits for that); null when the ring is empty.
void* WorkRingTake(WorkRing* ring);
// Ends the workers (a job in work is finished first), hands every job not taken back to
// `discard` oldest first, and frees the ring.
void StopWorkRing(WorkRing* ring, void (*discard)(void* job));
