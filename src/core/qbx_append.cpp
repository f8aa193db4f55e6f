#include <cstring>

#include "core/append.h"
#include "core/member_name.h"
#include "core/progress.h"
#include "core/qbx.h"

namespace {
uint32_t BuildQbxHeader(ArchiveContext* context, uint8_t* header, uint64_t) {
  EntryRecord& e = context->entry;
  e.signature = kQbxSignature;
  EncodeMemberName(context, true);
  SetStoredName(context, context->ioBuffer, kEntryNameSize, kNameUtf8, true);
  e.checksum = QbxChecksum(reinterpret_cast<const uint8_t*>(&e), kQbxHeaderChecksummed, 0);
  std::memcpy(header, &e, kEntryRecordSize);
  return kEntryRecordSize;
}

// Copies the source behind the header, folding each block into the data checksum.
ResultCode CopySourceQbx(ArchiveContext* context, uint64_t size) {
  context->dataChecksum = 0;
  uint64_t written = 0;
  if (ReadSource(context) != kResultOk) return context->result;
  while (context->bytesRead > 0) {
    uint32_t n = context->bytesRead;
    context->dataChecksum = QbxChecksum(context->ioBuffer, n, context->dataChecksum);
    if (WriteArchive(context, context->ioBuffer, n) != kResultOk) return context->result;
    written += n;
    // A source that grows while it is read would otherwise be copied without end.
    if (written > size) return Fail(context, kResultChecksum);
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    ProgressAdvance(context, n);
    // FileRead stops short of a full block only at the file's end: no read to learn it again.
    if (n < kIoBufferSize) break;
    if (ReadSource(context) != kResultOk) return context->result;
  }
  if (written != size) return Fail(context, kResultChecksum);
  return kResultOk;
}

// The data and, for data that has any, its checksum.
ResultCode WriteQbxData(ArchiveContext* context, uint64_t size, uint64_t* stored) {
  if (CopySourceQbx(context, size) != kResultOk) return context->result;
  *stored = size;
  if (size == 0) return kResultOk;
  uint8_t sum[kQbxChecksumSize];
  for (uint32_t i = 0; i < kQbxChecksumSize; ++i) sum[i] = static_cast<uint8_t>(context->dataChecksum >> (8 * i));
  *stored += kQbxChecksumSize;
  return WriteArchive(context, sum, kQbxChecksumSize);
}
// A QBX ends with its last member.
ResultCode WriteQbxEnd(ArchiveContext*, uint32_t, uint64_t offset, uint64_t, uint64_t* end) {
  *end = offset;
  return kResultOk;
}
uint64_t QbxEndLength(const ArchiveContext*, uint32_t, uint64_t) { return 0; }
}  // namespace

const AppendSteps kQbxAppendSteps = {BuildQbxHeader, WriteQbxData, WriteQbxEnd, QbxEndLength, kMaxSourceSize,
                                     false, nullptr, true};
