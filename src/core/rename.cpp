#include <cstring>

#include "core/edit.h"
#include "core/qbx.h"

namespace {
constexpr uint32_t kQbxEditableAttributes = 0x2027;

ResultCode RenameQbxMember(ArchiveContext* context, uint32_t memberIndex) {
  if (FindMember(context, memberIndex) != kResultOk) return context->result;
  EntryRecord& e = context->entry;
  uint32_t got = 0;
  if (!FileRead(context->archiveFile, &e, kEntryRecordSize, &got) || got < kEntryRecordSize)
    return Fail(context, kResultRead);
  ConvertEditedName(context, true);
  std::memcpy(e.name, context->ioBuffer, kEntryNameSize);
  e.attributes &= kQbxEditableAttributes;
  if (NameEndsInSlash(e.name, kEntryNameSize)) e.attributes |= kAttrDirectory;
  e.checksum = QbxChecksum(reinterpret_cast<const uint8_t*>(&e), kQbxHeaderChecksummed, 0);
  return WriteMemberHeader(context, context->position, &e);
}
}  // namespace

ResultCode RenameMember(ArchiveContext* context, uint32_t memberIndex, const char16_t* newName) {
  context->result = kResultOk;
  if (newName == nullptr) return Fail(context, kResultNoCallback);
  if (context->archiveFile == kInvalidFile) return Fail(context, kResultOpen);
  if (context->openMode != kModeReadWrite) return Fail(context, kResultSave);
  context->memberName = const_cast<char16_t*>(newName);
  if (context->format == kFormatTar) return RenameTarMember(context, memberIndex);
  if (context->format == kFormatQbx) return RenameQbxMember(context, memberIndex);
  return context->result;
}
