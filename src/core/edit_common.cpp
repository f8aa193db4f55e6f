#include "core/edit.h"
#include "core/read_ahead.h"

ResultCode FindMember(ArchiveContext* context, uint32_t memberIndex) {
  if (context->memberOffsets == nullptr || memberIndex >= context->memberOffsetCapacity ||
      memberIndex >= context->memberCount)
    return Fail(context, kResultNotFound);
  context->memberIndex = memberIndex;
  context->position = context->memberOffsets[memberIndex];
  if (!ArchiveSeek(context, context->position)) return Fail(context, kResultNotFound);
  return context->result;
}

bool NameEndsInSlash(const uint8_t* name, uint32_t limit) {
  uint32_t n = 0;
  while (n < limit && name[n] != 0) ++n;
  return n > 0 && (name[n - 1] == '/' || name[n - 1] == '\\');
}

ResultCode WriteMemberHeader(ArchiveContext* context, uint64_t offset, const void* header) {
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(offset), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  if (!FileWrite(context->archiveFile, header, kEntryRecordSize, &context->bytesWritten))
    return Fail(context, kResultWrite);
  if (context->onMember != nullptr) context->onMember(context);
  return context->result;
}
