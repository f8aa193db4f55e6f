#include <new>

#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"
#include "core/tail_records.h"

namespace {
// The archive as it was before the cut, to give back should a call fail: the bytes the new
// end covers from where the member began up to the old end of the members (the old end
// itself is written again from what the context keeps), the members' count and end, and
// the file's length.
struct BeforeCut {
  uint8_t* covered;
  uint32_t coveredLength;
  uint32_t memberCount;
  uint64_t membersEnd;
  uint64_t fileSize;
};

// Reads the bytes from offset (the file is there) that the end of memberCount members covers.
ResultCode KeepCovered(ArchiveContext* context, const AppendSteps* steps, uint32_t memberCount, uint64_t offset,
                       BeforeCut* before) {
  const uint64_t memberBytes = before->membersEnd > offset ? before->membersEnd - offset : 0;
  const uint64_t endBytes = steps->endLength(context, memberCount, offset);
  const uint64_t length = endBytes < memberBytes ? endBytes : memberBytes;
  if (length > UINT32_MAX) return Fail(context, kResultLimit);
  if (length == 0) return kResultOk;
  before->covered = new (std::nothrow) uint8_t[length];
  if (before->covered == nullptr) return Fail(context, kResultNoMemory);
  before->coveredLength = static_cast<uint32_t>(length);
  uint32_t got = 0;
  if (!FileRead(context->archiveFile, before->covered, before->coveredLength, &got) || got != length)
    return Fail(context, kResultRead);
  return kResultOk;
}

// The end of the members in front of the cut where the first cut one began, and the file
// cut behind it. The members and records count only once all of it is written.
ResultCode CutAt(ArchiveContext* context, const AppendSteps* steps, uint32_t memberCount, uint64_t offset) {
  uint64_t end = offset;
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(offset), kSeekBegin, nullptr)) return Fail(context, kResultRead);
  if (steps->writeEnd(context, memberCount, offset, 0, &end) != kResultOk) return context->result;
  if (!FileTruncate(context->archiveFile)) return Fail(context, kResultWrite);
  context->memberCount = memberCount;
  context->appendOffset = offset;
  context->fileSize = end;
  KeepTailRecords(&context->tailRecords, memberCount);
  return kResultOk;
}

// The covered bytes where they were, then the old end behind the members as an undone
// append gets it back (TruncateArchive). The failure that stopped the cut stays the result.
ResultCode PutBack(ArchiveContext* context, uint64_t offset, const BeforeCut& before) {
  const ResultCode failure = context->result;
  if (before.coveredLength == 0 ||
      (FileSeek(context->archiveFile, static_cast<int64_t>(offset), kSeekBegin, nullptr) &&
       FileWrite(context->archiveFile, before.covered, before.coveredLength, &context->bytesWritten)))
    TruncateArchive(context, before.memberCount, before.membersEnd, before.fileSize);
  return Fail(context, failure);
}
}  // namespace

// The end is written over the member before the file is cut: a ZIP's directory must lie
// where the member began, and whatever fails on the way, the archive is given back whole.
ResultCode DeleteLastMember(ArchiveContext* context, uint32_t memberIndex) {
  context->result = kResultOk;
  if (CheckWritable(context) != kResultOk) return context->result;
  const AppendSteps* steps = AppendStepsOf(context);
  if (steps == nullptr) return Fail(context, kResultSave);
  if (FindMember(context, memberIndex) != kResultOk) return context->result;
  const uint64_t offset = context->position;
  BeforeCut before{nullptr, 0, context->memberCount, context->appendOffset, context->fileSize};
  if (KeepCovered(context, steps, memberIndex, offset, &before) == kResultOk &&
      CutAt(context, steps, memberIndex, offset) != kResultOk)
    PutBack(context, offset, before);
  delete[] before.covered;
  if (context->result != kResultOk) return context->result;
  context->revertSize = context->fileSize;
  if (context->onMember != nullptr) context->onMember(context);
  return context->result;
}
