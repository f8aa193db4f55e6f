#include "core/list_walk.h"

ResultCode BeginListing(ArchiveContext* context) {
  context->memberCount = 0;
  context->appendOffset = 0;
  context->position = 0;
  if (!FileSeek(context->archiveFile, 0, kSeekBegin, nullptr)) return Fail(context, kResultRead);
  return kResultOk;
}

void RecordMemberOffset(ArchiveContext* context) {
  if (context->memberOffsets != nullptr && context->memberIndex < context->memberOffsetCapacity)
    context->memberOffsets[context->memberIndex] = context->position;
}
