#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"

ResultCode DeleteLastMember(ArchiveContext* context, uint32_t memberIndex) {
  context->result = kResultOk;
  if (CheckEditable(context) != kResultOk) return context->result;
  if (FindMember(context, memberIndex) != kResultOk) return context->result;
  if (TruncateArchive(context, memberIndex, context->position, 0) != kResultOk) return context->result;
  context->revertSize = context->fileSize;
  if (context->onMember != nullptr) context->onMember(context);
  return context->result;
}
