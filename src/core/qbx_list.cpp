#include <cstring>

#include "core/list_walk.h"
#include "core/member_name.h"
#include "core/progress.h"
#include "core/qbx.h"
#include "core/read_ahead.h"

bool IsValidQbxHeader(const EntryRecord* entry) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(entry);
  return entry->signature == kQbxSignature &&
         entry->checksum == QbxChecksum(bytes, kQbxHeaderChecksummed, 0) &&
         entry->formatVersion == 0;
}

ResultCode ReadQbxHeader(ArchiveContext* context) {
  EntryRecord& e = context->entry;
  uint32_t got = 0;
  if (!ArchiveRead(context, &e, kEntryRecordSize, &got)) return kResultRead;
  if (got == 0) return kResultEndOfMembers;
  if (got < kEntryRecordSize) return kResultUnexpectedEnd;
  // No writer stores a negative size: it is damage too, not a member of 16 384 PB.
  if (!IsValidQbxHeader(&e) || e.packedSize < 0 || e.packedSize > kQbxMaxArchiveSize) return kResultFormat;
  e.size = static_cast<uint64_t>(e.packedSize);
  SetStoredName(context, e.name, kEntryNameSize, kNameUtf8, true);
  return kResultOk;
}

namespace {
ResultCode ListQbxMembers(ArchiveContext* context) {
  EntryRecord& e = context->entry;
  for (context->memberIndex = 0; context->memberIndex < kMaxMembers; ++context->memberIndex) {
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    RecordMemberOffset(context);
    ResultCode r = ReadQbxHeader(context);
    if (r == kResultRead) return Fail(context, kResultRead);
    if (r == kResultEndOfMembers) break;
    // A partial header or damage ends the list; nothing may be appended behind it.
    if (r != kResultOk) {
      context->openMode = kModeReadOnly;
      break;
    }
    uint64_t next = context->position + kEntryRecordSize;
    if (e.packedSize > 0 &&
        !ArchiveSkip(context, e.packedSize + kQbxChecksumSize, &next))
      return Fail(context, kResultRead);
    context->position = next;
    ReportListedMember(context);
  }
  return context->result;
}
}  // namespace

ResultCode ListQbx(ArchiveContext* context) {
  if (ListReadingAhead(context, ListQbxMembers) != kResultOk) return context->result;
  // Count what was listed, also before damage, so those members can be viewed and extracted.
  return EndListing(context);
}
