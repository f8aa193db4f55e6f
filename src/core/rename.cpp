#include <cstring>

#include "core/archive.h"
#include "core/edit.h"
#include "core/member_name.h"
#include "core/qbx.h"

namespace {
constexpr uint32_t kQbxEditableAttributes = 0x2027;

// Names in archives separate folders with "/", whatever the user typed.
void CopyNewName(const char16_t* newName, char16_t* name) {
  uint32_t n = 0;
  for (; n < kMaxRenameChars && newName[n] != 0; ++n) name[n] = newName[n] == u'\\' ? u'/' : newName[n];
  name[n] = 0;
}
}  // namespace

ResultCode RenameQbxMember(ArchiveContext* context, uint32_t memberIndex) {
  if (FindMember(context, memberIndex) != kResultOk) return context->result;
  EntryRecord& e = context->entry;
  uint32_t got = 0;
  if (!FileRead(context->archiveFile, &e, kEntryRecordSize, &got) || got < kEntryRecordSize)
    return Fail(context, kResultRead);
  EncodeMemberName(context, true);
  SetStoredName(context, context->ioBuffer, kEntryNameSize, kNameUtf8, true);
  e.attributes &= kQbxEditableAttributes;
  if (NameEndsInSlash(e.name, kEntryNameSize)) e.attributes |= kAttrDirectory;
  e.checksum = QbxChecksum(reinterpret_cast<const uint8_t*>(&e), kQbxHeaderChecksummed, 0);
  return WriteMemberHeader(context, context->position, &e);
}

ResultCode RenameMember(ArchiveContext* context, uint32_t memberIndex, const char16_t* newName) {
  context->result = kResultOk;
  if (newName == nullptr) return Fail(context, kResultNoCallback);
  if (CheckWritable(context) != kResultOk) return context->result;
  char16_t name[kMaxRenameChars + 1];
  CopyNewName(newName, name);
  const FormatOps* ops = context->formats == nullptr ? nullptr : &context->formats[context->format];
  if (ops == nullptr || ops->rename == nullptr) return Fail(context, kResultSave);
  context->memberName = name;
  ops->rename(context, memberIndex);
  context->memberName = nullptr;
  return context->result;
}
