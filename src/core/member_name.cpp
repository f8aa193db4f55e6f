#include "core/member_name.h"

#include <cstring>

#include "core/names.h"

namespace {
bool NameIsUtf8(const ArchiveContext* context, const EntryRecord* entry) {
  switch (context->format) {
    case kFormatQbx:
    case kFormatGz:
      return true;
    case kFormatTar:
      return context->headerCodePage == kCodePageUtf8;
    case kFormatZip:
      return (entry->attributes & kAttrZipUtf8) != 0;
    default:
      return false;
  }
}
}  // namespace

void DecodeMemberName(const ArchiveContext* context, const EntryRecord* entry, char16_t* out) {
  if (NameIsUtf8(context, entry))
    Utf8ToWide(entry->name, kEntryNameSize, out);
  else
    BytesToWide(entry->name, kEntryNameSize, out);
}

void EncodeMemberName(ArchiveContext* context, bool utf8) {
  std::memset(context->ioBuffer, 0, kNameArea);
  if (utf8)
    WideToUtf8(context->memberName, context->ioBuffer, kNameArea);
  else
    WideToBytes(context->memberName, context->ioBuffer, kNameArea);
}
