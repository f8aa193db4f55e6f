#include <cstdio>
#include <cstring>

#include "zip/dos_time.h"
#include "core/filetime.h"
#include "core/little_endian.h"
#include "core/member_name.h"
#include "core/names.h"
#include "core/read_ahead.h"
#include "deflate/crc32.h"
#include "zip/zip_header.h"

namespace {
constexpr uint32_t kFixedRest = 26;  // the local header behind its signature
constexpr uint32_t kZip64SizesBytes = 16;
constexpr uint16_t kUnicodePathFieldId = 0x7075;
constexpr uint32_t kUnicodePathFixed = 5;  // version and CRC-32 before the name
constexpr uint16_t kExtendedTimeFieldId = 0x5455;
constexpr uint8_t kExtendedTimeHasModified = 1;

// Records that begin the central directory or follow it: the members are behind us.
bool ClosesMembers(uint32_t signature) {
  switch (signature) {
    case kZipCentralSignature:
    case kZipArchiveExtraSignature:
    case kZipEndSignature:
    case kZip64EndSignature:
    case kZip64LocatorSignature:
    case kZipDigitalSignature:
      return true;
    default:
      return false;
  }
}

// kResultOk read, kResultRead failure, shortResult when fewer bytes than asked are there.
ResultCode ReadExactly(ArchiveContext* context, uint8_t* into, uint32_t count, ResultCode shortResult) {
  if (count == 0) return kResultOk;
  uint32_t got = 0;
  if (!ArchiveRead(context, into, count, &got)) return kResultRead;
  return got < count ? shortResult : kResultOk;
}

ResultCode ReadSignature(ArchiveContext* context, ZipLocalHeader* header, EntryRecord* entry) {
  uint8_t bytes[kZipSignatureSize];
  if (ResultCode r = ReadExactly(context, bytes, kZipSignatureSize, kResultFormat)) return r;
  header->headerBytes = kZipSignatureSize;
  header->signature = entry->signature = Le32(bytes);
  if (header->signature == kZipLocalSignature) return kResultOk;
  if (ClosesMembers(header->signature)) return kResultEndOfMembers;
  // A single marker, such as the one that opens a split archive, may precede the first header.
  if (header->memberIndex != 0) return kResultFormat;
  if (ResultCode r = ReadExactly(context, bytes, kZipSignatureSize, kResultUnexpectedEnd)) return r;
  header->headerBytes += kZipSignatureSize;
  header->signature = Le32(bytes);
  return header->signature == kZipLocalSignature ? kResultOk : kResultFormat;
}

void ParseFixedFields(const uint8_t* p, ZipLocalHeader* h) {
  h->versionNeeded = Le16(p);
  h->generalFlags = Le16(p + 2);
  h->method = Le16(p + 4);
  h->modTime = Le16(p + 6);
  h->modDate = Le16(p + 8);
  h->crc32 = Le32(p + 10);
  h->compressedSize32 = Le32(p + 14);
  h->uncompressedSize32 = Le32(p + 18);
  h->nameLength = Le16(p + 22);
  h->extraLength = Le16(p + 24);
}

uint32_t MemberFlags(ZipLocalHeader* h) {
  uint32_t flags = 0;
  if (h->method != kZipMethodStore) flags |= kAttrZipCompressed;
  if (h->generalFlags & (kZipFlagEncrypted | kZipFlagStrongEncryption)) flags |= kAttrZipEncrypted;
  if (h->generalFlags & kZipFlagDescriptor) flags |= kAttrZipDescriptor;
  if (h->generalFlags & kZipFlagUtf8) flags |= kAttrZipUtf8;
  if (h->generalFlags & kZipFlagStrongEncryption) {
    h->method = kZipMethodUnknown;
  } else if (h->method == kZipMethodStore || h->method == kZipMethodDeflate ||
             h->method == kZipMethodDeflate64) {
    flags |= kAttrZipMethodKnown;
  }
  return flags;
}

// Notes a ZIP64 record in the extra field and, when the header's sizes defer to it, takes
// the 64-bit sizes from the first such record that holds both.
void ReadZip64Field(const uint8_t* extra, ZipLocalHeader* h, EntryRecord* entry) {
  const bool sizesDeferred =
      h->compressedSize32 == kSize32Unknown && h->uncompressedSize32 == kSize32Unknown;
  if (sizesDeferred) entry->attributes |= kAttrZipSizesNotFound;
  bool sizesTaken = false;
  for (uint32_t at = 0; at + 4 <= h->extraLength;) {
    const uint16_t id = Le16(extra + at);
    const uint32_t size = Le16(extra + at + 2);
    if (id == kZip64FieldId) {
      h->zip64 = true;
      if (sizesDeferred && !sizesTaken && size >= kZip64SizesBytes &&
          at + 4 + kZip64SizesBytes <= h->extraLength) {
        h->uncompressedSize = Le64(extra + at + 4);
        h->compressedSize = Le64(extra + at + 12);
        sizesTaken = true;
        if (h->uncompressedSize <= kMaxZipSize && h->compressedSize <= kMaxZipSize)
          entry->attributes &= ~kAttrZipSizesNotFound;
      }
    }
    at += 4 + size;
  }
  if (entry->attributes & kAttrZipSizesNotFound) h->uncompressedSize = h->compressedSize = 0;
}

// Info-ZIP's Unicode Path field: version 1, the CRC-32 of the stored name it stands for
// (a tool that renamed the member without knowing the field leaves it stale), the UTF-8 name.
bool FindUnicodePath(const uint8_t* name, const uint8_t* extra, const ZipLocalHeader& h,
                     const uint8_t** path, uint32_t* pathLength) {
  for (uint32_t at = 0; at + 4 <= h.extraLength;) {
    const uint32_t size = Le16(extra + at + 2);
    if (at + 4 + size > h.extraLength) return false;
    const uint8_t* field = extra + at + 4;
    if (Le16(extra + at) == kUnicodePathFieldId && size > kUnicodePathFixed && field[0] == 1 &&
        Le32(field + 1) == Crc32Update(0, name, h.nameLength)) {
      *path = field + kUnicodePathFixed;
      *pathLength = size - kUnicodePathFixed;
      return true;
    }
    at += 4 + size;
  }
  return false;
}

// The flag means UTF-8; else a valid Unicode Path field gives it; else bytes that are
// well-formed UTF-8 with a character outside ASCII are UTF-8 (Info-ZIP on Linux stores
// them so, unflagged; OEM text almost never forms such sequences); else the bytes are in
// the OEM code page, as the ZIP application note has it.
void TakeZipName(ArchiveContext* context, const ZipLocalHeader& h, const uint8_t* name,
                 const uint8_t* extra) {
  const uint8_t* path = nullptr;
  uint32_t pathLength = 0;
  if (h.nameLength == 0 || name[0] == 0) {
    // Members without a name are still listed and extracted, under a made-up one.
    char made[kEntryNameSize];
    int n = std::snprintf(made, sizeof made, "file%u", h.memberIndex);
    SetStoredName(context, reinterpret_cast<const uint8_t*>(made), static_cast<uint32_t>(n), kNameUtf8, false);
  } else if (h.generalFlags & kZipFlagUtf8) {
    SetStoredName(context, name, h.nameLength, kNameUtf8, false);
  } else if (FindUnicodePath(name, extra, h, &path, &pathLength)) {
    SetStoredName(context, path, pathLength, kNameUtf8, false);
  } else {
    NameEncoding encoding = IsUtf8Text(name, h.nameLength) ? kNameUtf8 : kNameOem;
    SetStoredName(context, name, h.nameLength, encoding, false);
  }
}
// The modification time of an extended timestamp field (UTC seconds since 1970, signed),
// which is exact where the DOS fields are local time in two-second steps.
bool FindExtendedTime(const uint8_t* extra, uint32_t extraLength, uint64_t* modified) {
  for (uint32_t at = 0; at + 4 <= extraLength;) {
    const uint32_t size = Le16(extra + at + 2);
    if (at + 4 + size > extraLength) return false;
    const uint8_t* field = extra + at + 4;
    if (Le16(extra + at) == kExtendedTimeFieldId && size >= 5 && (field[0] & kExtendedTimeHasModified)) {
      const int64_t seconds = static_cast<int32_t>(Le32(field + 1)) + static_cast<int64_t>(kFileTimeUnixEpoch);
      *modified = static_cast<uint64_t>(seconds) * kFileTimeTicksPerSecond;
      return true;
    }
    at += 4 + size;
  }
  return false;
}
}  // namespace

ResultCode ReadZipLocalHeader(ArchiveContext* context, ZipLocalHeader* header) {
  uint8_t* buffer = context->ioBuffer;
  EntryRecord* entry = &context->entry;
  const uint32_t index = header->memberIndex;
  std::memset(header, 0, sizeof *header);
  header->memberIndex = index;
  std::memset(entry, 0, sizeof *entry);
  if (ResultCode r = ReadSignature(context, header, entry)) return r;
  if (ResultCode r = ReadExactly(context, buffer, kFixedRest, kResultUnexpectedEnd)) return r;
  header->headerBytes += kFixedRest;
  ParseFixedFields(buffer, header);
  entry->attributes = MemberFlags(header);
  entry->method = header->method;
  // Name and extra field together: the name's encoding may be in the extra field.
  const uint32_t variable = uint32_t{header->nameLength} + header->extraLength;
  if (ResultCode r = ReadExactly(context, buffer, variable, kResultUnexpectedEnd)) return r;
  const uint8_t* extra = buffer + header->nameLength;
  header->compressedSize = header->compressedSize32;
  header->uncompressedSize = header->uncompressedSize32;
  ReadZip64Field(extra, header, entry);
  TakeZipName(context, *header, buffer, extra);
  entry->packedSize = static_cast<int64_t>(header->compressedSize);
  entry->size = header->uncompressedSize;
  entry->checksum = header->crc32;
  if (!FindExtendedTime(extra, header->extraLength, &entry->modified))
    entry->modified = DosTimeToUtc(header->modDate, header->modTime);
  return kResultOk;
}
