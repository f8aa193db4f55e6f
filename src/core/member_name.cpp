#include "core/member_name.h"

#include "core/names.h"

namespace {
bool NameIsUtf8(const ArchiveContext* context, const EntryRecord* entry) {
  switch (context->format) {
    case kFormatQbx:
    case kFormatGz:
      return true;
    case kFormatTar:
      return context->headerCodePage == 65001;
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
