#include <cstring>

#include "core/list_walk.h"
#include "core/progress.h"
#include "core/read_ahead.h"
#include "core/tar.h"

namespace {
// Reports the member just read and moves past its data.
ResultCode ListTarMember(ArchiveContext* context) {
  EntryRecord& e = context->entry;
  int64_t size = e.packedSize;
  e.packedSize = size + e.padding;
  context->onMember(context);
  uint64_t next = 0;
  if (!ArchiveSkip(context, size + e.padding, &next))
    return Fail(context, kResultRead);
  context->position = next;
  context->memberCount = context->memberIndex + 1;
  context->appendOffset = context->position;
  ProgressListed(context);
  return kResultOk;
}

ResultCode ListTarMembers(ArchiveContext* context) {
  std::memset(&context->entry, 0, sizeof context->entry);
  TarHeaderState state;
  for (context->memberIndex = 0; context->memberIndex < kMaxMembers; ++context->memberIndex) {
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    RecordMemberOffset(context);
    ResultCode r = ReadTarHeader(context, &state);
    if (r == kResultOk) {
      if (ListTarMember(context) != kResultOk) return context->result;
    } else if (r == kResultEndOfMembers) {
      break;
    } else if (r == kResultEmptyBlock) {
      // Step over all header material read, not just one block, so the offsets stay true.
      context->position += state.consumed;
    } else if (r == kResultRead) {
      return Fail(context, kResultRead);
    } else {
      // Damage: keep what was listed, never append behind it.
      context->openMode = kModeReadOnly;
      break;
    }
  }
  ProgressPosition(context, context->fileSize);
  return context->result;
}
}  // namespace

ResultCode ListTar(ArchiveContext* context) {
  return ListReadingAhead(context, ListTarMembers);
}
