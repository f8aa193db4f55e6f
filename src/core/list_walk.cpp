#include "core/list_walk.h"

#include "core/progress.h"
#include "core/read_ahead.h"

ResultCode BeginListing(ArchiveContext* context) {
  context->memberCount = 0;
  context->appendOffset = 0;
  context->position = 0;
  if (!ArchiveSeek(context, 0)) return Fail(context, kResultRead);
  return kResultOk;
}

void RecordMemberOffset(ArchiveContext* context) {
  if (context->memberOffsets != nullptr && context->memberIndex < context->memberOffsetCapacity)
    context->memberOffsets[context->memberIndex] = context->position;
}

void ReportListedMember(ArchiveContext* context) {
  context->onMember(context);
  ProgressListed(context);
}

void ProgressListed(ArchiveContext* context) {
  // A compressed stream runs ahead of the file: the progress follows the file.
  const ByteSource& s = context->source;
  ProgressPosition(context, s.ops != nullptr ? s.ops->fileOffset(s.state) : context->position);
}

ResultCode EndListing(ArchiveContext* context) {
  context->memberCount = context->memberIndex;
  context->appendOffset = context->position;
  ProgressPosition(context, context->fileSize);
  return context->result;
}

ResultCode ListReadingAhead(ArchiveContext* context, ResultCode (*walk)(ArchiveContext* context)) {
  if (BeginListing(context) != kResultOk || BeginReadAhead(context, 0) != kResultOk) return context->result;
  walk(context);
  EndReadAhead(context);
  return context->result;
}
