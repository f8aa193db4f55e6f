#include <cstring>

#include "core/extract.h"
#include "core/little_endian.h"
#include "core/member_name.h"
#include "core/progress.h"
#include "core/qbx.h"
#include "core/read_ahead.h"

namespace {
constexpr uint32_t kExtractedAttributes = 0x2027;
constexpr uint32_t kKeptAttributes = 0x2037;
constexpr uint32_t kNormalAttributes = 0x80;

ResultCode CheckQbxHeader(ArchiveContext* context) {
  const EntryRecord& e = context->entry;
  if (e.signature != kQbxSignature) return Fail(context, kResultChecksum);
  if (e.checksum != QbxChecksum(reinterpret_cast<const uint8_t*>(&e), kQbxHeaderChecksummed, 0))
    return Fail(context, kResultChecksum);
  if (e.formatVersion != 0) return Fail(context, kResultNewerVersion);
  // Checked before any file is made for the member, so a lying size leaves nothing behind.
  if (e.packedSize < 0 || e.packedSize > kQbxMaxArchiveSize) return Fail(context, kResultFormat);
  return kResultOk;
}

ResultCode ExtractQbxFile(ArchiveContext* context) {
  ResultCode r = ExtractMemberFile(context, CopyQbxData);
  if (r != kResultOk) return r;
  uint32_t attributes = context->entry.attributes & kExtractedAttributes;
  SetPathAttributes(context->memberName, attributes != 0 ? attributes : kNormalAttributes);
  return kResultOk;
}

ResultCode WalkQbxMember(ArchiveContext* context, uint32_t testFlag, char16_t* nameBuffer) {
  EntryRecord& e = context->entry;
  e.attributes &= kKeptAttributes;
  // A size of 0 or below means no data and no checksum behind the header.
  context->remaining = e.packedSize > 0 ? e.packedSize : 0;
  e.size = static_cast<uint64_t>(context->remaining);
  SetStoredName(context, e.name, kEntryNameSize, kNameUtf8, true);
  DecodeMemberName(context, nameBuffer);
  if (context->onMember(context) == 0) {
    if (context->remaining > 0 &&
        !ArchiveSkip(context, context->remaining + kQbxChecksumSize, nullptr))
      return Fail(context, kResultRead);
    return kResultOk;
  }
  if (testFlag == 0) return ExtractQbxFile(context);
  context->outputFile = kInvalidFile;
  return CopyQbxData(context);
}
}  // namespace

ResultCode CopyQbxData(ArchiveContext* context) {
  if (context->remaining == 0) return context->result;
  context->dataChecksum = 0;
  while (context->remaining > 0) {
    uint32_t n = 0;
    if (CopyNextBlock(context, &n) != kResultOk) return context->result;
    context->dataChecksum = QbxChecksum(context->ioBuffer, n, context->dataChecksum);
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    ProgressAdvance(context, n);
  }
  uint8_t stored[kQbxChecksumSize];
  uint32_t got = 0;
  if (!ArchiveRead(context, stored, kQbxChecksumSize, &got)) return Fail(context, kResultRead);
  if (got < kQbxChecksumSize) return Fail(context, kResultUnexpectedEnd);
  if (Le32(stored) != context->dataChecksum) return Fail(context, kResultChecksum);
  return context->result;
}

ResultCode ExtractQbx(ArchiveContext* context, uint32_t testFlag) {
  char16_t nameBuffer[kMemberNameChars];
  context->memberName = nameBuffer;
  context->position = 0;
  if (!FileSeek(context->archiveFile, 0, kSeekBegin, nullptr)) Fail(context, kResultRead);
  if (context->result == kResultOk) BeginReadAhead(context, 0);
  for (context->memberIndex = 0; context->result == kResultOk && context->memberIndex < kMaxMembers;
       ++context->memberIndex) {
    if (WaitWhilePaused(context) != kResultOk) break;
    uint32_t got = 0;
    if (!ArchiveRead(context, &context->entry, kEntryRecordSize, &got)) {
      Fail(context, kResultRead);
      break;
    }
    if (got == 0) break;
    // Part of a header at the end is a cut-off archive, not its end.
    if (got < kEntryRecordSize) {
      Fail(context, kResultUnexpectedEnd);
      break;
    }
    if (CheckQbxHeader(context) != kResultOk) break;
    WalkQbxMember(context, testFlag, nameBuffer);
  }
  EndReadAhead(context);
  context->memberName = nullptr;
  return context->result;
}
