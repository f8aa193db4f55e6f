#include <cstring>

#include "core/append.h"
#include "core/names.h"
#include "core/progress.h"
#include "core/qbx.h"

namespace {
constexpr uint32_t kNameArea = 1024;

void BuildQbxHeader(ArchiveContext* context) {
  EntryRecord& e = context->entry;
  e.signature = kQbxSignature;
  std::memset(context->ioBuffer, 0, kNameArea);
  WideToUtf8(context->memberName, context->ioBuffer);
  std::memcpy(e.name, context->ioBuffer, kEntryNameSize);
  e.checksum = QbxChecksum(reinterpret_cast<const uint8_t*>(&e), kQbxHeaderChecksummed, 0);
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
    if (ReadSource(context) != kResultOk) return context->result;
  }
  if (written != size) return Fail(context, kResultChecksum);
  return kResultOk;
}
}  // namespace

ResultCode AppendQbx(ArchiveContext* context) {
  EntryRecord& e = context->entry;
  uint64_t size = static_cast<uint64_t>(e.packedSize);
  if (context->strictMode == 0) ProgressBegin(context, e.packedSize, context->onProgress, context->progressUser);
  context->memberIndex = context->memberCount;
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(context->appendOffset), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  BuildQbxHeader(context);
  context->appendPending = 1;
  if (WriteArchive(context, &e, kEntryRecordSize) != kResultOk) return context->result;
  if (CopySourceQbx(context, size) != kResultOk) return context->result;
  if (size > 0) {
    uint8_t sum[kQbxChecksumSize];
    for (uint32_t i = 0; i < kQbxChecksumSize; ++i) sum[i] = static_cast<uint8_t>(context->dataChecksum >> (8 * i));
    if (WriteArchive(context, sum, kQbxChecksumSize) != kResultOk) return context->result;
  }
  if (!FileTruncate(context->archiveFile)) return Fail(context, kResultWrite);
  context->appendOffset += kEntryRecordSize + size + (size > 0 ? kQbxChecksumSize : 0);
  context->fileSize = context->appendOffset;
  context->memberCount += 1;
  e.size = size;
  context->appendPending = 0;
  if (context->onMember != nullptr) context->onMember(context);
  return context->result;
}
