#include "core/member_name.h"

#include <cstring>

#include "core/names.h"

void KeepNameBytes(StoredName* name, const uint8_t* bytes, uint32_t length, NameEncoding encoding,
                   bool fixedField) {
  uint32_t n = 0;
  while (n < length && n < kMaxNameBytes && bytes[n] != 0) ++n;
  name->tooLong = n == kMaxNameBytes && n < length && bytes[n] != 0;
  name->fillsField = name->tooLong || (fixedField && n == length);
  // An absent name comes as null, which memmove must not be given even for 0 bytes.
  if (n != 0) std::memmove(name->bytes, bytes, n);
  name->bytes[n] = 0;
  name->length = n;
  name->encoding = encoding;
}

void SetStoredName(ArchiveContext* context, const uint8_t* bytes, uint32_t length,
                   NameEncoding encoding, bool fixedField) {
  StoredName& name = context->storedName;
  KeepNameBytes(&name, bytes, length, encoding, fixedField);
  uint8_t* field = context->entry.name;
  uint32_t kept = name.length < kEntryNameSize ? name.length : kEntryNameSize;
  std::memmove(field, name.bytes, kept);
  std::memset(field + kept, 0, kEntryNameSize - kept);
}

NameEncoding TarNameEncoding(const ArchiveContext* context, const uint8_t* bytes, uint32_t length) {
  if (context->headerCodePage == kCodePageUtf8 || IsUtf8Text(bytes, length)) return kNameUtf8;
  return kNameLatin1;
}

bool WritesAsUtf8(const char16_t* name, NameEncoding preferred) {
  if (preferred == kNameUtf8) return true;
  for (; *name != 0; ++name)
    if (*name > 0xFF) return true;
  return false;
}

void DecodeMemberName(const ArchiveContext* context, char16_t* out) { DecodeStoredName(context->storedName, out); }

void DecodeStoredName(const StoredName& name, char16_t* out) {
  // A name cut to its field: the sequence it cut is dropped, not replaced.
  uint32_t count = name.fillsField ? name.length : name.length + 1;
  switch (name.encoding) {
    case kNameUtf8:
      Utf8ToWide(name.bytes, count, out);
      break;
    case kNameOem:
      OemToWide(name.bytes, name.length, out);
      break;
    default:
      BytesToWide(name.bytes, name.length, out);
      break;
  }
}

void EncodeMemberName(ArchiveContext* context, bool utf8) {
  std::memset(context->ioBuffer, 0, kNameArea);
  if (utf8)
    WideToUtf8(context->memberName, context->ioBuffer, kNameArea);
  else
    WideToBytes(context->memberName, context->ioBuffer, kNameArea);
}
