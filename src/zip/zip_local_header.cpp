#include <cstdio>
#include <cstring>

#include "zip/dos_time.h"
#include "core/little_endian.h"
#include "zip/zip_header.h"

namespace {
constexpr uint32_t kFixedRest = 26;  // the local header behind its signature
constexpr uint16_t kZip64FieldId = 1;
constexpr uint32_t kZip64SizesBytes = 16;
constexpr uint32_t kSize32Unknown = 0xFFFFFFFF;
// No file holds more: larger sizes could only wrap the walk's offsets around.
constexpr uint64_t kMaxZipSize = 0x7FFFFFFFFFFFFFFF;

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
ResultCode ReadExactly(FileHandle file, uint8_t* into, uint32_t count, ResultCode shortResult) {
  if (count == 0) return kResultOk;
  uint32_t got = 0;
  if (!FileRead(file, into, count, &got)) return kResultRead;
  return got < count ? shortResult : kResultOk;
}

ResultCode ReadSignature(FileHandle file, ZipLocalHeader* header, EntryRecord* entry) {
  uint8_t bytes[kZipSignatureSize];
  if (ResultCode r = ReadExactly(file, bytes, kZipSignatureSize, kResultFormat)) return r;
  header->headerBytes = kZipSignatureSize;
  header->signature = entry->signature = Le32(bytes);
  if (header->signature == kZipLocalSignature) return kResultOk;
  if (ClosesMembers(header->signature)) return kResultEndOfMembers;
  // A single marker, such as the one that opens a split archive, may precede the first header.
  if (header->memberIndex != 0) return kResultFormat;
  if (ResultCode r = ReadExactly(file, bytes, kZipSignatureSize, kResultUnexpectedEnd)) return r;
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

void NameEntry(const uint8_t* name, const ZipLocalHeader& h, EntryRecord* entry) {
  std::memcpy(entry->name, name, h.nameLength < kEntryNameSize ? h.nameLength : kEntryNameSize);
  // Members without a name are still listed and extracted, under a made-up one.
  if (entry->name[0] == 0) {
    std::memset(entry->name, 0, kEntryNameSize);
    std::snprintf(reinterpret_cast<char*>(entry->name), kEntryNameSize, "file%u", h.memberIndex);
  }
}
}  // namespace

ResultCode ReadZipLocalHeader(FileHandle file, ZipLocalHeader* header, EntryRecord* entry,
                              uint8_t* buffer) {
  const uint32_t index = header->memberIndex;
  std::memset(header, 0, sizeof *header);
  header->memberIndex = index;
  std::memset(entry, 0, sizeof *entry);
  if (ResultCode r = ReadSignature(file, header, entry)) return r;
  if (ResultCode r = ReadExactly(file, buffer, kFixedRest, kResultUnexpectedEnd)) return r;
  header->headerBytes += kFixedRest;
  ParseFixedFields(buffer, header);
  entry->attributes = MemberFlags(header);
  entry->method = header->method;
  if (ResultCode r = ReadExactly(file, buffer, header->nameLength, kResultUnexpectedEnd)) return r;
  NameEntry(buffer, *header, entry);
  if (ResultCode r = ReadExactly(file, buffer, header->extraLength, kResultUnexpectedEnd)) return r;
  header->compressedSize = header->compressedSize32;
  header->uncompressedSize = header->uncompressedSize32;
  ReadZip64Field(buffer, header, entry);
  entry->packedSize = static_cast<int64_t>(header->compressedSize);
  entry->size = header->uncompressedSize;
  entry->checksum = header->crc32;
  entry->modified = DosTimeToUtc(header->modDate, header->modTime);
  return kResultOk;
}
