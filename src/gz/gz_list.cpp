#include <cstring>

#include "core/progress.h"
#include "gz/gz.h"

ResultCode ReadGzMemberHeader(ArchiveContext* context, GzHeader* header) {
  context->position = 0;
  if (!FileSeek(context->archiveFile, 0, kSeekBegin, nullptr)) return Fail(context, kResultRead);
  EntryRecord& e = context->entry;
  std::memset(&e, 0, sizeof e);
  context->memberIndex = 0;
  if (ResultCode r = ReadGzHeader(context->archiveFile, header, &e, context->ioBuffer, context->fileSize))
    return Fail(context, r);
  if (e.name[0] == 0) {
    uint8_t name[kGzDefaultNameSize];
    GzDefaultName(context->archivePath, name);
    std::memcpy(e.name, name, kEntryNameSize);
  }
  context->remaining = static_cast<int64_t>(header->compressedSize);
  return kResultOk;
}

ResultCode ListGz(ArchiveContext* context) {
  context->memberCount = 0;
  context->appendOffset = 0;
  GzHeader header;
  if (ReadGzMemberHeader(context, &header) != kResultOk) return context->result;
  context->onMember(context);
  context->memberCount = 1;
  context->appendOffset = context->fileSize;
  ProgressPosition(context, context->fileSize);
  return context->result;
}
