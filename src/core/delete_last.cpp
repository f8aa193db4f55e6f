#include "core/append.h"
#include "core/edit.h"

ResultCode DeleteLastMember(ArchiveContext* context, uint32_t memberIndex) {
  context->result = kResultOk;
  if (context->format != kFormatQbx && context->format != kFormatTar) return kResultOk;
  if (context->archiveFile == kInvalidFile) return Fail(context, kResultOpen);
  if (context->openMode != kModeReadWrite) return Fail(context, kResultSave);
  if (FindMember(context, memberIndex) != kResultOk) return context->result;
  if (TruncateArchive(context, memberIndex, context->position) != kResultOk) return context->result;
  if (context->onMember != nullptr) context->onMember(context);
  return context->result;
}
