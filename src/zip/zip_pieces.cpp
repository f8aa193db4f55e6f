// The calling thread reads the source into piece jobs, each with its history copied from the
// job before, and writes their output in order; workers of a work ring only encode. Jobs are
// used round the ring: the one filled next is the oldest, taken back (and written) first.
// Once the member is being stored, the pieces in the ring are written as they were read and
// the rest as they are read, without encoding.
#include "zip/zip_pieces.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/append.h"
#include "core/progress.h"
#include "core/work_ring.h"
#include "deflate/crc32.h"

namespace {
// Jobs beyond one per worker: the next pieces are read while the workers encode.
constexpr uint32_t kSparePieces = 2;
constexpr uint32_t kMaxPieceJobs = kMaxRingWorkers + kSparePieces;

struct PieceJob {
  DeflateLevel level;
  uint8_t* input;  // the history, then the piece
  uint8_t* output;
  uint32_t historySize;
  uint32_t pieceSize;
  uint32_t outputSize;
  uint32_t written;
  bool first;
  bool last;
  DeflateResult result;
};

struct PieceJobs {
  PieceJob jobs[kMaxPieceJobs];
  uint32_t count;
  WorkRing* ring;  // null: the calling thread encodes each piece as it is read
};

void EncodePieceJob(void*, void* job) {
  auto* j = static_cast<PieceJob*>(job);
  j->result = DeflatePiece(j->level, j->input, j->historySize, j->input + j->historySize, j->pieceSize, j->last,
                           j->output, j->outputSize, &j->written);
}

void KeepJob(void*) {}

void FreeJobs(PieceJobs* p) {
  if (p->ring != nullptr) StopWorkRing(p->ring, KeepJob);
  for (uint32_t i = 0; i < p->count; ++i) {
    delete[] p->jobs[i].input;
    delete[] p->jobs[i].output;
  }
}

// Jobs with buffers for pieces of up to `piece` bytes, and workers when there are pieces
// enough for them; false when memory is short.
bool StartJobs(PieceJobs* p, DeflateLevel level, uint64_t size, uint32_t workers) {
  const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(size, kZipPieceBytes));
  const uint32_t wanted = size > kZipPieceBytes && workers >= 2 ? std::min(workers, kMaxRingWorkers) : 0;
  p->ring = wanted >= 2 ? StartWorkRing(wanted, kSparePieces, EncodePieceJob, nullptr) : nullptr;
  const uint32_t count = p->ring != nullptr ? wanted + kSparePieces : 1;
  const auto outputSize = static_cast<uint32_t>(DeflatePieceBound(piece));
  for (p->count = 0; p->count < count; ++p->count) {
    PieceJob& j = p->jobs[p->count];
    j = {level, new (std::nothrow) uint8_t[kDeflateHistoryBytes + piece], new (std::nothrow) uint8_t[outputSize],
         0, 0, outputSize, 0, false, false, kDeflateProgress};
    if (j.input == nullptr || j.output == nullptr) {
      ++p->count;
      return false;
    }
  }
  return true;
}

// Reads the job's piece behind the history the job before left, and confirms the source's
// end behind the last.
ResultCode ReadPiece(ArchiveContext* context, DeflateRun* run, const PieceJob* before, PieceJob* job) {
  const uint32_t history = before == nullptr ? 0 : std::min(before->historySize + before->pieceSize, kDeflateHistoryBytes);
  if (history != 0)
    std::memmove(job->input, before->input + before->historySize + before->pieceSize - history, history);
  job->historySize = history;
  job->first = before == nullptr;
  const auto wanted = static_cast<uint32_t>(std::min<uint64_t>(run->size - run->read, kZipPieceBytes));
  uint32_t got = 0;
  if (!FileRead(context->sourceFile, job->input + history, wanted, &got)) return Fail(context, kResultRead);
  job->pieceSize = got;
  run->read += got;
  run->crc = Crc32Update(run->crc, job->input + history, got);
  ProgressAdvance(context, got);
  job->last = run->read == run->size;
  if (got < wanted) return Fail(context, kResultChecksum);
  if (job->last) {
    // A source that grew since its size was taken would be stored cut short.
    uint8_t more = 0;
    if (!FileRead(context->sourceFile, &more, 1, &got)) return Fail(context, kResultRead);
    if (got != 0) return Fail(context, kResultChecksum);
  }
  return kResultOk;
}

// Writes the job's piece: as it was read once the member is stored, which a first piece that
// does not get smaller decides, else its output, unless that would bring the data to the
// source's size: then they are abandoned.
ResultCode WritePiece(ArchiveContext* context, DeflateRun* run, const PieceJob* job) {
  if (job->first && job->result == kDeflateDone && job->written >= job->pieceSize) run->stored = true;
  if (run->stored) {
    if (WriteArchive(context, job->input + job->historySize, job->pieceSize) != kResultOk) return context->result;
    run->written += job->pieceSize;
    return kResultOk;
  }
  if (job->result != kDeflateDone) return Fail(context, kResultNoMemory);
  if (run->written + job->written >= run->size) {
    run->abandoned = true;
    return kResultOk;
  }
  if (WriteArchive(context, job->output, job->written) != kResultOk) return context->result;
  run->written += job->written;
  return kResultOk;
}

// Takes the oldest job back from the workers and writes it.
ResultCode TakeOldest(ArchiveContext* context, PieceJobs* p, DeflateRun* run) {
  const auto* job = static_cast<const PieceJob*>(WorkRingTake(p->ring));
  return run->abandoned ? kResultOk : WritePiece(context, run, job);
}

ResultCode RunPieces(ArchiveContext* context, PieceJobs* p, DeflateRun* run) {
  const PieceJob* before = nullptr;
  for (uint32_t k = 0; !run->abandoned; ++k) {
    PieceJob* job = &p->jobs[k % p->count];
    // The oldest job is taken back when its buffers are the next to fill, and all of them
    // once the member is stored: pieces read from then on are written at once.
    while (p->ring != nullptr && WorkRingCount(p->ring) > 0 && (WorkRingFull(p->ring) || run->stored))
      if (TakeOldest(context, p, run) != kResultOk) return context->result;
    if (run->abandoned) break;
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    if (ReadPiece(context, run, before, job) != kResultOk) return context->result;
    if (p->ring != nullptr && !run->stored) {
      WorkRingPut(p->ring, job);
    } else {
      if (!run->stored) EncodePieceJob(nullptr, job);
      if (WritePiece(context, run, job) != kResultOk) return context->result;
    }
    if (job->last) break;
    before = job;
  }
  while (p->ring != nullptr && WorkRingCount(p->ring) > 0)
    if (TakeOldest(context, p, run) != kResultOk) return context->result;
  return kResultOk;
}
}  // namespace

ResultCode DeflateSourceInPieces(ArchiveContext* context, DeflateLevel level, DeflateRun* run) {
  PieceJobs p{};
  const ResultCode r = StartJobs(&p, level, run->size, context->pieceWorkers) ? RunPieces(context, &p, run)
                                                                                : Fail(context, kResultNoMemory);
  FreeJobs(&p);
  return r;
}

DeflateResult DeflateWholeInPieces(DeflateLevel level, const uint8_t* source, uint64_t size, uint8_t* output,
                                   uint64_t room, uint64_t* written, const std::atomic<uint32_t>* jobState) {
  *written = 0;
  uint64_t at = 0;
  do {
    if (jobState->load() == kJobCancelling) return kDeflateBadCall;
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(size - at, kZipPieceBytes));
    const auto history = static_cast<uint32_t>(std::min<uint64_t>(at, kDeflateHistoryBytes));
    const auto left = static_cast<uint32_t>(std::min<uint64_t>(room - *written, UINT32_MAX));
    uint32_t made = 0;
    const DeflateResult r =
        DeflatePiece(level, source + at - history, history, source + at, n, at + n == size, output + *written, left, &made);
    if (r != kDeflateDone) return r;
    if (at == 0 && made >= n) return kDeflateNoProgress;
    *written += made;
    at += n;
  } while (at < size);
  return kDeflateDone;
}
