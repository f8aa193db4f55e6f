#include "zip/zip_rename.h"

#include <cstring>

#include "core/append.h"
#include "core/edit.h"
#include "core/little_endian.h"
#include "core/member_name.h"
#include "zip/zip_append.h"
#include "zip/zip_directory.h"
#include "zip/zip_header.h"
#include "zip/zip_write_records.h"

namespace {
constexpr uint32_t kCentralNameLengthAt = 28;

// Where a header keeps its flags and its name.
struct NameLayout {
  uint32_t flagsAt;
  uint32_t nameAt;
};
constexpr NameLayout kLocalLayout = {6, kZipLocalFixed};
constexpr NameLayout kCentralLayout = {8, kZipCentralFixed};

// A header from its start to its name's end, as it was and as it becomes; nothing behind
// the name changes.
struct HeaderEdit {
  uint8_t before[kZipCentralFixed + kMaxNameBytes];
  uint8_t after[kZipCentralFixed + kMaxNameBytes];
  uint32_t length;
};

// after: before with the new name and the UTF-8 flag.
void Rename(HeaderEdit* edit, NameLayout layout, const uint8_t* name) {
  std::memcpy(edit->after, edit->before, edit->length);
  PutLe16(edit->after + layout.flagsAt, Le16(edit->before + layout.flagsAt) | kZipFlagUtf8);
  std::memcpy(edit->after + layout.nameAt, name, edit->length - layout.nameAt);
}

uint8_t* CentralRecord(TailRecords* records, uint32_t index) {
  return records->bytes + (index == 0 ? 0 : records->ends[index - 1]);
}

// The new name (in ioBuffer) against the stored ones: as many bytes as both headers hold,
// and a folder's name for a folder only.
ResultCode CheckNewName(ArchiveContext* context, const ZipLocalHeader& header, const uint8_t* central) {
  const uint32_t length = Le16(central + kCentralNameLengthAt);
  const uint8_t* name = context->ioBuffer;
  if (std::strlen(reinterpret_cast<const char*>(name)) != length || header.nameLength != length)
    return Fail(context, kResultNameLengthFixed);
  if (NameEndsInSlash(name, length) != NameEndsInSlash(central + kZipCentralFixed, length))
    return Fail(context, kResultNameChangesType);
  return kResultOk;
}

ResultCode WriteAt(ArchiveContext* context, uint64_t offset, const uint8_t* bytes, uint32_t length) {
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(offset), kSeekBegin, nullptr)) return Fail(context, kResultRead);
  return WriteArchive(context, bytes, length);
}

// The whole directory, from the records in memory, and the end records behind the members.
ResultCode WriteDirectory(ArchiveContext* context) {
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(context->appendOffset), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  uint64_t end = 0;
  return kZipAppendSteps.writeEnd(context, context->memberCount, context->appendOffset, 0, &end);
}

// The old local header, then the old directory as an undone append writes it again
// (TruncateArchive). The failure that stopped the rename stays the result.
ResultCode PutBack(ArchiveContext* context, uint64_t localStart, const HeaderEdit& local) {
  const ResultCode failure = context->result;
  WriteAt(context, localStart, local.before, local.length);
  TruncateArchive(context, context->memberCount, context->appendOffset, context->fileSize);
  return Fail(context, failure);
}

ResultCode WriteNames(ArchiveContext* context, uint64_t localStart, HeaderEdit* local, HeaderEdit* record,
                      uint8_t* central) {
  if (ReadZipAt(context->archiveFile, localStart, local->before, local->length, kResultUnexpectedEnd) != kResultOk)
    return Fail(context, kResultRead);
  std::memcpy(record->before, central, record->length);
  Rename(local, kLocalLayout, context->ioBuffer);
  Rename(record, kCentralLayout, context->ioBuffer);
  std::memcpy(central, record->after, record->length);
  if (WriteAt(context, localStart, local->after, local->length) == kResultOk && WriteDirectory(context) == kResultOk)
    return kResultOk;
  std::memcpy(central, record->before, record->length);
  return PutBack(context, localStart, *local);
}
}  // namespace

ResultCode RenameZipMember(ArchiveContext* context, uint32_t memberIndex) {
  if (FindMember(context, memberIndex) != kResultOk) return context->result;
  if (memberIndex >= context->tailRecords.count) return Fail(context, kResultNotFound);
  // The member's header as the listing read it: the entry the report shows.
  ZipLocalHeader header{};
  header.memberIndex = memberIndex;
  const ResultCode r = ReadZipLocalHeader(context, &header);
  if (r != kResultOk) return Fail(context, r == kResultRead ? kResultRead : kResultNotFound);
  uint8_t* central = CentralRecord(&context->tailRecords, memberIndex);
  EncodeMemberName(context, true);
  if (CheckNewName(context, header, central) != kResultOk) return context->result;
  HeaderEdit local, record;
  local.length = kZipLocalFixed + header.nameLength;
  record.length = kZipCentralFixed + header.nameLength;
  const uint64_t localStart = context->position + header.headerBytes - kZipLocalFixed;
  if (WriteNames(context, localStart, &local, &record, central) != kResultOk) return context->result;
  SetStoredName(context, local.after + kZipLocalFixed, header.nameLength, kNameUtf8, false);
  context->entry.attributes |= kAttrZipUtf8;
  if (context->onMember != nullptr) context->onMember(context);
  return context->result;
}
