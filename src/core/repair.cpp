#include "core/repair.h"

#include <cstring>

#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"
#include "core/member_name.h"
#include "core/qbx.h"
#include "core/tar.h"

namespace {
// The header material at the file position, read by the format's own reader.
ResultCode ReadHeaderHere(ArchiveContext* context) {
  if (context->format == kFormatQbx) return ReadQbxHeader(context);
  TarHeaderState state;
  return ReadTarHeader(context, &state);
}

ResultCode NothingToCut(TornTail* tail, TailState state) {
  tail->state = state;
  return kResultSave;
}

// The last member listed runs past the end: the add was copying its data. The listing
// reached it without damage, or it would have stopped before.
ResultCode FindCutData(ArchiveContext* context, TornTail* tail) {
  uint64_t end = context->appendOffset;
  ResultCode kept = context->result;
  // Only a member beyond the offset table has no known start.
  if (context->memberCount == 0 || FindMember(context, context->memberCount - 1) != kResultOk) {
    context->result = kept;
    return NothingToCut(tail, kTailDamaged);
  }
  tail->memberIndex = context->memberIndex;
  tail->offset = context->position;
  ResultCode r = ReadHeaderHere(context);
  if (r == kResultRead) return Fail(context, kResultRead);
  if (r != kResultOk) return NothingToCut(tail, kTailDamaged);  // changed since it was listed
  DecodeMemberName(context, tail->name);
  tail->claimed = end - tail->offset;
  return kResultOk;
}

// The listing stopped behind the last member: only a header that meets the end of the file
// there is an incomplete member; zero blocks or nothing are an end, anything else damage.
ResultCode FindCutHeader(ArchiveContext* context, TornTail* tail) {
  tail->memberIndex = context->memberCount;
  tail->offset = context->appendOffset;
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(tail->offset), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  ResultCode r = ReadHeaderHere(context);
  if (r == kResultRead) return Fail(context, kResultRead);
  if (r == kResultEndOfMembers || r == kResultEmptyBlock) return NothingToCut(tail, kTailWhole);
  if (r != kResultUnexpectedEnd) return NothingToCut(tail, kTailDamaged);
  return kResultOk;
}

// The handle may only read (the file was read-only, or locked, when it was listed); the
// cut needs one that writes, alone, on a file still as long as it was listed. On failure
// the archive is open for reading again.
ResultCode ReopenForWriting(ArchiveContext* context) {
  FileClose(context->archiveFile);
  context->archiveFile = FileOpen(context->archivePath, kAccessReadWrite, kShareNone, kOpenExisting);
  uint64_t size = 0;
  if (context->archiveFile != kInvalidFile && FileGetSize(context->archiveFile, &size) &&
      size == context->fileSize)
    return kResultOk;
  if (context->archiveFile != kInvalidFile) FileClose(context->archiveFile);
  context->archiveFile = FileOpen(context->archivePath, kAccessRead, kShareRead, kOpenExisting);
  if (context->archiveFile != kInvalidFile) return Fail(context, kResultSave);
  CloseArchive(context);
  return Fail(context, kResultOpen);
}
}  // namespace

ResultCode FindTornTail(ArchiveContext* context, TornTail* tail) {
  std::memset(tail, 0, sizeof *tail);
  tail->state = kTailTorn;
  if (context->archiveFile == kInvalidFile) return Fail(context, kResultOpen);
  if (context->format != kFormatQbx && context->format != kFormatTar) return NothingToCut(tail, kTailReadOnlyFormat);
  if (context->openMode == kModeReadWrite) return NothingToCut(tail, kTailWhole);
  ResultCode r = context->appendOffset > context->fileSize ? FindCutData(context, tail) : FindCutHeader(context, tail);
  if (r == kResultOk) tail->written = context->fileSize - tail->offset;
  return r;
}

ResultCode RepairTornTail(ArchiveContext* context, TornTail* tail) {
  context->result = kResultOk;
  ResultCode r = FindTornTail(context, tail);
  if (r != kResultOk) return Fail(context, r);
  if (ReopenForWriting(context) != kResultOk) return context->result;
  // TruncateArchive cuts before it writes the end blocks: a failure overwrites no member.
  if (TruncateArchive(context, tail->memberIndex, tail->offset, 0) != kResultOk) return context->result;
  // Reported done only once the cut is on the disk, as an add is.
  if (!FileFlush(context->archiveFile)) return Fail(context, kResultWrite);
  context->openMode = kModeReadWrite;
  context->revertSize = context->fileSize;
  return kResultOk;
}
