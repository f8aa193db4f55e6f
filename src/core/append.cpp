#include "core/append.h"

#include <cstring>
#include <new>

#include "core/append_ahead.h"
#include "core/archive.h"
#include "core/progress.h"
#include "core/tail_records.h"
#include "core/tar.h"

namespace {
constexpr uint32_t kSourceAttributes = 0x2027;

// The folder part of the archive path: where the free space counts.
void ArchiveFolder(const char16_t* path, char16_t* folder, uint32_t capacity) {
  uint32_t end = 0;
  for (uint32_t i = 0; path[i] != 0; ++i)
    if (path[i] == u'\\' || path[i] == u'/') end = i + 1;
  if (end >= capacity) end = 0;
  for (uint32_t i = 0; i < end; ++i) folder[i] = path[i];
  folder[end] = 0;
}

// Within a batch the volume is asked for its free space again after this long, or once
// the members since its last answer could have taken half of what it reported.
constexpr uint32_t kRoomRecheckMs = 1000;

bool RoomAnswerStale(const ArchiveContext* context, uint64_t size) {
  const auto& b = context->appendBatch;
  return !b.on || !b.roomKnown || TickCount() - b.roomTick > kRoomRecheckMs || b.roomSince + size > b.roomFree / 2;
}

ResultCode CheckRoom(ArchiveContext* context, uint64_t size) {
  if (size > kMaxSourceSize || size + context->fileSize > kMaxArchiveSize) return Fail(context, kResultLimit);
  auto& b = context->appendBatch;
  if (RoomAnswerStale(context, size)) {
    char16_t folder[1024];
    ArchiveFolder(context->archivePath, folder, sizeof folder / sizeof folder[0]);
    b.roomKnown = false;
    // When the volume cannot tell its free space, refusing is the safe answer.
    if (!GetFreeDiskBytes(folder, &b.roomFree)) return Fail(context, kResultDiskFull);
    b.roomKnown = b.on;
    b.roomTick = TickCount();
    b.roomSince = 0;
  }
  const uint64_t free = b.roomFree - b.roomSince;
  if (free < size || free - size < kMinFreeSpaceLeft) return Fail(context, kResultDiskFull);
  b.roomSince += size;
  return kResultOk;
}

// Gathers the member's writes when all of it fits in one: those of steps that only write
// forward, and those of a member made ready ahead, which every format writes forward.
void BeginGathering(ArchiveContext* context, const AppendSteps* steps, uint32_t headerLength, uint64_t size) {
  auto& stage = context->writeStage;
  if (!steps->gathersSmallMembers && context->prepared == nullptr) return;
  const bool endLater = context->appendBatch.on && steps->endOncePerBatch;
  const uint64_t endLength = endLater ? 0 : steps->endLength(context, context->memberCount + 1, 0);
  // The padding behind the data is less than a TAR block.
  const uint64_t whole = headerLength + size + kTarBlockSize + endLength;
  if (whole > kWriteStageSize) return;
  if (stage.data == nullptr) stage.data = new (std::nothrow) uint8_t[kWriteStageSize];
  stage.used = 0;
  stage.on = stage.data != nullptr;
}

// A member that failed midway: what was gathered is never written.
ResultCode DropGathered(ArchiveContext* context) {
  context->writeStage = {context->writeStage.data, 0, false};
  return context->result;
}

ResultCode FlushGathered(ArchiveContext* context) {
  auto& stage = context->writeStage;
  stage.on = false;
  const uint32_t used = stage.used;
  stage.used = 0;
  return used == 0 ? kResultOk : WriteArchive(context, stage.data, used);
}

// Header, data and the archive's end at appendOffset; the member counts once the file is
// cut behind them. A failure leaves appendPending set for AppendFile to undo.
ResultCode AppendMember(ArchiveContext* context, const AppendSteps* steps) {
  EntryRecord& e = context->entry;
  uint64_t size = static_cast<uint64_t>(e.packedSize);
  if (size > steps->maxSize) return Fail(context, kResultLimit);
  if (context->progressSpansFolder == 0) ProgressBegin(context, e.packedSize, context->onProgress, context->progressUser);
  context->memberIndex = context->memberCount;
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(context->appendOffset), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  uint8_t header[kMaxAppendHeader] = {};
  uint32_t headerLength = steps->buildHeader(context, header, size);
  context->appendPending = 1;
  uint64_t stored = 0;
  BeginGathering(context, steps, headerLength, size);
  if (WriteArchive(context, header, headerLength) != kResultOk) return DropGathered(context);
  if (steps->writeData(context, size, &stored) != kResultOk) return DropGathered(context);
  const uint64_t membersEnd = context->appendOffset + headerLength + stored;
  uint64_t end = membersEnd;
  if (context->appendBatch.on && steps->endOncePerBatch) {
    context->appendBatch.endPending = true;
  } else if (steps->writeEnd(context, context->memberCount + 1, membersEnd, 0, &end) != kResultOk) {
    return DropGathered(context);
  }
  if (FlushGathered(context) != kResultOk) return context->result;
  // Cut only where old bytes may lie behind the new end (the usual add only grows the file).
  if (end < context->fileSize && !FileTruncate(context->archiveFile)) return Fail(context, kResultWrite);
  context->appendOffset = membersEnd;
  context->fileSize = end;
  context->memberCount += 1;
  e.size = size;
  context->appendPending = 0;
  if (context->onMember != nullptr) context->onMember(context);
  return context->result;
}

// The member from its source: open (sourceFile) or made ready ahead (context->prepared).
ResultCode AppendSource(ArchiveContext* context, const char16_t* sourcePath, const char16_t* storedName) {
  context->memberName = const_cast<char16_t*>(storedName);
  FileFacts facts;
  if (context->prepared != nullptr) facts = context->prepared->facts;
  else if (!FileGetFacts(context->sourceFile, sourcePath, &facts)) return Fail(context, kResultOpen);
  // A device or pipe has no size to store: /dev/zero would be copied without end.
  if (facts.attributes & kAttrDevice) return Fail(context, kResultNotAFile);
  std::memset(&context->entry, 0, sizeof context->entry);
  context->entry.attributes = facts.attributes & kSourceAttributes;
  context->entry.packedSize = static_cast<int64_t>(facts.size);
  context->remaining = static_cast<int64_t>(facts.size);
  if (CheckRoom(context, facts.size) != kResultOk) return context->result;
  context->entry.modified = facts.modified;
  if (context->memberOffsets != nullptr && context->memberCount < context->memberOffsetCapacity)
    context->memberOffsets[context->memberCount] = context->appendOffset;
  context->appendPending = 0;
  return AppendMember(context, AppendStepsOf(context));
}

}  // namespace

const AppendSteps* AppendStepsOf(const ArchiveContext* context) {
  if (context->formats == nullptr || context->format >= kFormatKindCount) return nullptr;
  return context->formats[context->format].append;
}

ResultCode WriteArchive(ArchiveContext* context, const void* data, uint32_t count) {
  auto& stage = context->writeStage;
  if (stage.on) {
    if (count <= kWriteStageSize - stage.used) {
      std::memcpy(stage.data + stage.used, data, count);
      stage.used += count;
      return kResultOk;
    }
    // More than was foreseen (a source that grew): what was gathered goes first.
    if (FlushGathered(context) != kResultOk) return context->result;
  }
  if (!FileWrite(context->archiveFile, data, count, &context->bytesWritten)) return Fail(context, kResultWrite);
  return kResultOk;
}

ResultCode ReadSource(ArchiveContext* context) {
  if (!FileRead(context->sourceFile, context->ioBuffer, kIoBufferSize, &context->bytesRead))
    return Fail(context, kResultRead);
  return kResultOk;
}

ResultCode AppendFile(ArchiveContext* context, const char16_t* sourcePath, const char16_t* storedName) {
  context->result = kResultOk;
  if (sourcePath == nullptr) return Fail(context, kResultOpen);
  if (CheckWritable(context) != kResultOk) return context->result;
  if (AppendStepsOf(context) == nullptr) return Fail(context, kResultSave);
  if (context->memberCount >= kMaxMembers) return Fail(context, kResultLimit);
  if (context->prepared == nullptr) {
    context->sourceFile = FileOpen(sourcePath, kAccessRead, kShareRead, kOpenExisting);
    if (context->sourceFile == kInvalidFile) return Fail(context, kResultOpen);
  }
  AppendSource(context, sourcePath, storedName);
  if (context->sourceFile != kInvalidFile) FileClose(context->sourceFile);
  context->sourceFile = kInvalidFile;
  // A member begun but not finished is cut away, and the file gets back the length it
  // had; the failure that stopped it stays the result.
  if (context->appendPending == 1) {
    TruncateArchive(context, context->memberCount, context->appendOffset, context->fileSize);
    context->appendPending = 0;
  }
  // The name is the caller's, and may be gone once the append is done.
  context->memberName = nullptr;
  return context->result;
}

ResultCode TruncateArchive(ArchiveContext* context, uint32_t memberCount, uint64_t offset, uint64_t size) {
  ResultCode kept = context->result;
  const AppendSteps* steps = AppendStepsOf(context);
  if (steps == nullptr) return Fail(context, kResultSave);
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(offset), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  // Cut first: should the cut fail, no member header has been overwritten by the end.
  if (!FileTruncate(context->archiveFile)) return Fail(context, kResultWrite);
  context->memberCount = memberCount;
  context->appendOffset = offset;
  context->fileSize = offset;
  KeepTailRecords(&context->tailRecords, memberCount);
  uint64_t end = offset;
  if (steps->writeEnd(context, memberCount, offset, size, &end) != kResultOk) return context->result;
  context->fileSize = end;
  context->result = kept;
  return kept;
}

void BeginAppendBatch(ArchiveContext* context) {
  context->appendBatch = {true, false, context->memberCount, context->appendOffset, context->fileSize, nullptr, false, 0, 0, 0};
}

ResultCode EndAppendBatch(ArchiveContext* context) {
  FinishAppendAhead(context);
  const auto batch = context->appendBatch;
  context->appendBatch = {};
  const AppendSteps* steps = AppendStepsOf(context);
  if (!batch.endPending || steps == nullptr) return context->result;
  const ResultCode kept = context->result;
  uint64_t end = 0;
  const bool written = FileSeek(context->archiveFile, static_cast<int64_t>(context->appendOffset), kSeekBegin, nullptr) &&
                       steps->writeEnd(context, context->memberCount, context->appendOffset, 0, &end) == kResultOk &&
                       (end >= context->fileSize || FileTruncate(context->archiveFile));
  if (written) {
    context->fileSize = end;
    context->result = kept;
    return kept;
  }
  const ResultCode failure = context->result != kResultOk ? context->result : kResultWrite;
  TruncateArchive(context, batch.startCount, batch.startOffset, batch.startSize);
  return Fail(context, failure);
}

ResultCode RevertAdditions(ArchiveContext* context, uint32_t openMemberCount, uint64_t openEndOffset) {
  context->onMember = nullptr;
  context->result = kResultOk;
  if (CheckWritable(context) != kResultOk) return context->result;
  return TruncateArchive(context, openMemberCount, openEndOffset, context->revertSize);
}
