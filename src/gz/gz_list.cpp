#include <cstring>

#include "core/member_name.h"
#include "core/names.h"
#include "core/progress.h"
#include "gz/gz.h"

namespace {
// RFC 1952 names are ISO 8859-1; many writers store UTF-8, which is taken when it is
// well-formed. A file without a name is named after the archive.
void TakeGzName(ArchiveContext* context, const GzHeader& header) {
  const uint8_t* name = context->ioBuffer + header.nameStart;
  uint32_t length = header.nameLength > 0 ? header.nameLength - 1 : 0;
  if (length > 0 && name[0] != 0) {
    SetStoredName(context, name, length, IsUtf8Text(name, length) ? kNameUtf8 : kNameLatin1, false);
    return;
  }
  uint8_t made[kGzDefaultNameSize];
  SetStoredName(context, made, GzDefaultName(context->archivePath, made), kNameUtf8, false);
}
}  // namespace

ResultCode ReadGzMemberHeader(ArchiveContext* context, GzHeader* header) {
  context->position = 0;
  if (!FileSeek(context->archiveFile, 0, kSeekBegin, nullptr)) return Fail(context, kResultRead);
  EntryRecord& e = context->entry;
  std::memset(&e, 0, sizeof e);
  context->memberIndex = 0;
  if (ResultCode r = ReadGzHeader(context->archiveFile, header, &e, context->ioBuffer, context->fileSize))
    return Fail(context, r);
  TakeGzName(context, *header);
  context->remaining = static_cast<int64_t>(header->compressedSize);
  return kResultOk;
}

ResultCode ListGz(ArchiveContext* context) {
  if (OpenTarInsideGz(context)) return ListTarGz(context);
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
