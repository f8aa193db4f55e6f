// ZIP test and extraction with members decoded ahead. The calling thread walks the headers
// ahead of the member in work, reads the data of each member a worker can decode whole, and
// puts them on a work ring in batches (a small member decodes in less time than it takes to
// hand it to another thread). Members are then offered to the member callback, checked
// and written in archive order, exactly as the walk on one thread does: the scout ahead has no
// effect anyone sees, and what it ran into (damage, a read failure, the end) counts only when
// the member in work reaches it. Data decoded with another password than the member in work
// gets are not used: the member decodes from the file then.
#include <algorithm>
#include <cstring>
#include <new>

#include "core/member_name.h"
#include "core/progress.h"
#include "core/read_ahead.h"
#include "core/work_ring.h"
#include "deflate/member_decode.h"
#include "zip/zip_crypto.h"
#include "zip/zip_walk.h"

namespace {
// Members that would hold more (their data, and their output when it is kept) decode from
// the file on the calling thread, as do all members while the ring holds kMaxBytesAhead.
constexpr uint64_t kMaxAheadMember = uint64_t{16} << 20;
constexpr uint64_t kMaxBytesAhead = uint64_t{32} << 20;
// A batch closes once its members hold this much, or at its count; a batch's memory larger
// than kKeptArena is given back after use.
constexpr uint64_t kBatchBytes = uint64_t{1} << 20;
constexpr uint64_t kKeptArena = 4 * kBatchBytes;
constexpr uint32_t kMaxBatchMembers = 64;
// Batches waiting beyond one per worker, so that a worker done with one has the next at hand.
constexpr uint32_t kSpareBatches = 2;
constexpr uint32_t kMaxBatches = kMaxRingWorkers + kSpareBatches;
constexpr uint32_t kMaxPasswordBytes = 256;

struct AheadMember {
  ResultCode located;  // kResultOk: a member; else the walk ends at it with this result
  uint32_t index;
  uint64_t dataOffset;
  EntryRecord entry;
  StoredName storedName;
  bool ahead;              // decoded holds the outcome (of decoding, or of reading the data)
  uint64_t inputAt;        // where its data lie in the batch's input
  uint64_t outputAt;       // where its output goes in the batch's output, when that is kept
  DecodedData decoded;
};

// Memory a batch keeps from one use to the next, grown as its members need.
struct Arena {
  uint8_t* bytes;
  uint64_t used;
  uint64_t capacity;
};

struct AheadBatch {
  bool keepOutput;  // an extraction writes what the workers decode
  uint32_t count;
  uint64_t bytes;  // input and output its members hold
  uint8_t password[kMaxPasswordBytes + 1];  // what the keys of its encrypted members start from
  Arena input;   // the members' stored data one after another
  Arena output;  // room for each member's output, when it is kept (an extraction)
  AheadMember members[kMaxBatchMembers];
};

struct Scout {
  uint32_t index;   // the next member to locate
  uint64_t offset;  // where its header lies, unless the directory is active
  bool ended;
  bool keepOutput;
  uint64_t bytesAhead;  // what the batches on the ring hold
  uint32_t wanted;  // the member nextWanted gave last
  ZipLocalHeader header;
  ZipDirectoryCursor directory;
  AheadBatch* free[kMaxBatches];
  uint32_t freeCount;
};

// Room for `more` bytes behind what is used; false when memory is short.
bool Reserve(Arena* arena, uint64_t more) {
  if (arena->used + more <= arena->capacity) return true;
  const uint64_t capacity = std::max(arena->used + more, 2 * arena->capacity);
  auto* bytes = new (std::nothrow) uint8_t[capacity];
  if (bytes == nullptr) return false;
  if (arena->used > 0) std::memcpy(bytes, arena->bytes, arena->used);
  delete[] arena->bytes;
  arena->bytes = bytes;
  arena->capacity = capacity;
  return true;
}

void DecodeMember(AheadBatch* batch, AheadMember* m) {
  const EntryRecord& e = m->entry;
  const bool encrypted = (e.attributes & kAttrZipEncrypted) != 0;
  uint8_t* data = batch->input.bytes + m->inputAt;
  auto length = static_cast<uint64_t>(e.packedSize);
  if (encrypted && length < kZipCryptoHeaderSize) {
    m->decoded.result = kResultFormat;
    return;
  }
  if (encrypted) {
    uint32_t keys[3];
    ZipCryptoInit(keys, batch->password, data);
    data += kZipCryptoHeaderSize;
    length -= kZipCryptoHeaderSize;
    ZipCryptoDecrypt(keys, data, length);
  }
  uint8_t* output = batch->keepOutput ? batch->output.bytes + m->outputAt : nullptr;
  DecodeWhole(data, length, ZipDecoderOf(e), encrypted, ZipOutputLimit(e), output, &m->decoded);
}

void DecodeBatch(void*, void* job) {
  auto* batch = static_cast<AheadBatch*>(job);
  for (uint32_t i = 0; i < batch->count; ++i) {
    AheadMember* m = &batch->members[i];
    if (m->ahead && m->decoded.result == kResultOk) DecodeMember(batch, m);
  }
}

void ClearArena(Arena* arena) {
  arena->used = 0;
  if (arena->capacity <= kKeptArena) return;
  delete[] arena->bytes;
  *arena = {};
}

void ClearBatch(void* job) {
  auto* batch = static_cast<AheadBatch*>(job);
  for (uint32_t i = 0; i < batch->count; ++i) batch->members[i].ahead = false;
  batch->count = 0;
  batch->bytes = 0;
  ClearArena(&batch->input);
  ClearArena(&batch->output);
}

bool Wanted(ArchiveContext* context, Scout* scout, uint32_t index) {
  if (context->nextWanted == nullptr) return true;
  if (scout->wanted < index) scout->wanted = context->nextWanted(context, index);
  return scout->wanted == index;
}

bool PasswordFits(const uint8_t* password) {
  return password != nullptr && password[0] != 0 &&
         std::strlen(reinterpret_cast<const char*>(password)) <= kMaxPasswordBytes;
}

// What a member decoded ahead holds: its data, and room for its output when that is kept.
uint64_t HeldBytes(const Scout* scout, const EntryRecord& e) {
  return static_cast<uint64_t>(e.packedSize) + (scout->keepOutput ? e.size + 1 : 0);
}

// Members whose decoding is worth a worker: compressed or encrypted ones (a stored copy only
// moves bytes) that are small enough to hold, wanted, and with a password when they need one.
bool GoesAhead(ArchiveContext* context, Scout* scout, const AheadMember* m) {
  const EntryRecord& e = m->entry;
  if (!(e.attributes & kAttrZipMethodKnown)) return false;
  const bool encrypted = (e.attributes & kAttrZipEncrypted) != 0;
  if (!encrypted && !(e.attributes & kAttrZipCompressed)) return false;
  if (encrypted && !PasswordFits(context->password)) return false;
  if (e.packedSize < 0 || e.size > kMaxAheadMember || HeldBytes(scout, e) > kMaxAheadMember) return false;
  return Wanted(context, scout, m->index);
}

// Reads the member's data (the file is there) into the batch for a worker, with room for its
// output when that is kept. A failure is the member's outcome, as when the member in work
// read them.
void ReadForWorker(ArchiveContext* context, const Scout* scout, AheadBatch* batch, AheadMember* m) {
  m->ahead = true;
  m->decoded = {};
  const auto length = static_cast<uint64_t>(m->entry.packedSize);
  const uint64_t room = HeldBytes(scout, m->entry) - length;
  if (!Reserve(&batch->input, length) || !Reserve(&batch->output, room)) {
    m->decoded.result = kResultNoMemory;
    return;
  }
  uint32_t got = 0;
  if (!ArchiveRead(context, batch->input.bytes + batch->input.used, static_cast<uint32_t>(length), &got)) {
    m->decoded.result = kResultRead;
  } else if (got < length) {
    m->decoded.result = kResultUnexpectedEnd;
  }
  m->inputAt = batch->input.used;
  m->outputAt = batch->output.used;
  batch->input.used += length;
  batch->output.used += room;
  batch->bytes += length + room;
}

// Locates the scout's next member into m, leaving the context's result as it was.
ResultCode Locate(ArchiveContext* context, Scout* scout, uint32_t testFlag, AheadBatch* batch, AheadMember* m) {
  m->index = scout->index;
  if (scout->index >= kMaxMembers) return kResultEndOfMembers;
  if (!scout->directory.active && !ArchiveSeek(context, scout->offset)) return kResultRead;
  context->memberIndex = scout->index;
  context->position = scout->offset;
  const ResultCode before = context->result;
  const ResultCode r = LocateZipMember(context, &scout->header, testFlag, &scout->directory);
  context->result = before;
  if (r != kResultOk) return r;
  m->entry = context->entry;
  std::memcpy(&m->storedName, &context->storedName, sizeof m->storedName);
  m->dataOffset = context->position;
  scout->offset = m->dataOffset + static_cast<uint64_t>(m->entry.packedSize) + m->entry.padding;
  scout->index += 1;
  if (GoesAhead(context, scout, m)) ReadForWorker(context, scout, batch, m);
  return kResultOk;
}

// Locates members into a batch until it holds enough or the members end.
void FillBatch(ArchiveContext* context, Scout* scout, uint32_t testFlag, AheadBatch* batch) {
  if (PasswordFits(context->password))
    std::strcpy(reinterpret_cast<char*>(batch->password), reinterpret_cast<const char*>(context->password));
  while (!scout->ended && batch->count < kMaxBatchMembers && batch->bytes < kBatchBytes) {
    AheadMember* m = &batch->members[batch->count++];
    m->located = Locate(context, scout, testFlag, batch, m);
    scout->ended = m->located != kResultOk;
  }
}

void FillRing(ArchiveContext* context, Scout* scout, WorkRing* ring, uint32_t testFlag) {
  while (!scout->ended && !WorkRingFull(ring) && (WorkRingCount(ring) == 0 || scout->bytesAhead < kMaxBytesAhead)) {
    AheadBatch* batch = scout->free[--scout->freeCount];
    batch->keepOutput = scout->keepOutput;
    FillBatch(context, scout, testFlag, batch);
    scout->bytesAhead += batch->bytes;
    WorkRingPut(ring, batch);
  }
}

bool SamePassword(const AheadBatch* batch, const AheadMember* m, const ArchiveContext* context) {
  if (!(m->entry.attributes & kAttrZipEncrypted)) return true;
  return context->password != nullptr && std::strcmp(reinterpret_cast<const char*>(batch->password),
                                                     reinterpret_cast<const char*>(context->password)) == 0;
}

// The member in work, as the walk on one thread has it once located.
ResultCode OfferMember(ArchiveContext* context, const AheadBatch* batch, AheadMember* m, uint32_t testFlag,
                       char16_t* nameBuffer) {
  context->memberIndex = m->index;
  context->entry = m->entry;
  std::memcpy(&context->storedName, &m->storedName, sizeof m->storedName);
  context->position = m->dataOffset;
  context->remaining = m->entry.packedSize;
  DecodeMemberName(context, nameBuffer);
  if (context->onMember(context) == 0) return kResultOk;
  const bool decoded = m->ahead && SamePassword(batch, m, context);
  if (!decoded && !ArchiveSeek(context, m->dataOffset)) return Fail(context, kResultRead);
  context->decoded = decoded ? &m->decoded : nullptr;
  const ResultCode r = ProcessZipMember(context, testFlag);
  context->decoded = nullptr;
  return r;
}

// Offers the batch's members in order until one ends the walk.
ResultCode OfferBatch(ArchiveContext* context, AheadBatch* batch, uint32_t testFlag, char16_t* nameBuffer) {
  ResultCode r = kResultOk;
  for (uint32_t i = 0; i < batch->count && r == kResultOk; ++i) {
    AheadMember* m = &batch->members[i];
    if (WaitWhilePaused(context) != kResultOk) return kResultCancelled;
    r = m->located != kResultOk ? m->located : OfferMember(context, batch, m, testFlag, nameBuffer);
  }
  return r;
}

void FreeBatches(AheadBatch* batches, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    delete[] batches[i].input.bytes;
    delete[] batches[i].output.bytes;
  }
  delete[] batches;
}
}  // namespace

bool WalkZipAhead(ArchiveContext* context, uint32_t testFlag, char16_t* nameBuffer, ResultCode* result) {
  // As many batches as the ring has slots: one per worker and the spares.
  const uint32_t batchCount = std::min(context->walkWorkers, kMaxRingWorkers) + kSpareBatches;
  auto* batches = new (std::nothrow) AheadBatch[batchCount]();
  auto* scout = new (std::nothrow) Scout{};
  WorkRing* ring = batches && scout ? StartWorkRing(context->walkWorkers, kSpareBatches, DecodeBatch, nullptr) : nullptr;
  if (ring == nullptr) {
    if (batches != nullptr) FreeBatches(batches, batchCount);
    delete scout;
    return false;
  }
  scout->keepOutput = testFlag == 0;
  for (uint32_t i = 0; i < batchCount; ++i) scout->free[scout->freeCount++] = &batches[i];
  ResultCode r = kResultOk;
  while (r == kResultOk) {
    FillRing(context, scout, ring, testFlag);
    auto* batch = static_cast<AheadBatch*>(WorkRingTake(ring));
    if (batch == nullptr) break;
    r = OfferBatch(context, batch, testFlag, nameBuffer);
    scout->bytesAhead -= batch->bytes;
    ClearBatch(batch);
    scout->free[scout->freeCount++] = batch;
  }
  StopWorkRing(ring, ClearBatch);
  FreeBatches(batches, batchCount);
  delete scout;
  *result = r;
  return true;
}
