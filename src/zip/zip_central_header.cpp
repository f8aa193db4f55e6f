// Reading one central directory header: where its member starts and the sizes and CRC-32
// its writer knew once the data were written.
#include <cstdint>

#include "core/little_endian.h"
#include "zip/zip_directory.h"

namespace {
constexpr uint32_t kCentralFixed = 46;

struct CentralFixed {
  uint32_t crc32;
  uint64_t compressedSize;
  uint64_t uncompressedSize;
  uint64_t localOffset;
  uint32_t nameLength;
  uint32_t extraLength;
  uint32_t commentLength;
};

CentralFixed ParseCentralFixed(const uint8_t* p) {
  return {Le32(p + 16), Le32(p + 20), Le32(p + 24), Le32(p + 42),
          Le16(p + 28), Le16(p + 30), Le16(p + 32)};
}

// The member's first byte in the file: the offset shifted, in front of the directory.
bool ShiftOntoFile(const ZipDirectory& d, uint64_t offset, uint64_t* local) {
  if (offset > kMaxZipSize) return false;
  const int64_t stated = static_cast<int64_t>(offset);
  if (d.shift > 0 && stated > INT64_MAX - d.shift) return false;
  if (stated + d.shift < 0) return false;
  *local = static_cast<uint64_t>(stated + d.shift);
  return *local < d.start;
}
}  // namespace

bool WidenFromZip64(const uint8_t* extra, uint32_t extraLength, uint64_t* size, uint64_t* compressed,
                    uint64_t* offset) {
  uint64_t* const values[] = {size, compressed, offset};
  for (uint32_t at = 0; at + 4 <= extraLength;) {
    const uint32_t fieldSize = Le16(extra + at + 2);
    if (at + 4 + fieldSize > extraLength) break;
    if (Le16(extra + at) == kZip64FieldId) {
      uint32_t used = 0;
      for (uint64_t* value : values) {
        if (*value != kSize32Unknown) continue;
        if (used + 8 > fieldSize) return false;
        *value = Le64(extra + at + 4 + used);
        used += 8;
      }
      return true;
    }
    at += 4 + fieldSize;
  }
  for (const uint64_t* value : values)
    if (*value == kSize32Unknown) return false;
  return true;
}

ResultCode ReadZipCentralEntry(ArchiveContext* context, ZipDirectoryCursor* cursor, ZipCentralEntry* entry) {
  const ZipDirectory& d = cursor->directory;
  if (cursor->index >= d.count) return kResultEndOfMembers;
  if (cursor->next > d.end || d.end - cursor->next < kCentralFixed) return kResultFormat;
  uint8_t* buffer = context->ioBuffer;
  ResultCode r = ReadZipAt(context->archiveFile, cursor->next, buffer, kCentralFixed, kResultUnexpectedEnd);
  if (r != kResultOk) return r;
  if (Le32(buffer) != kZipCentralSignature) return kResultFormat;
  CentralFixed c = ParseCentralFixed(buffer);
  const uint64_t length = uint64_t{kCentralFixed} + c.nameLength + c.extraLength + c.commentLength;
  if (d.end - cursor->next < length) return kResultFormat;
  // The name is the local header's business; only the extra field is wanted here.
  r = ReadZipAt(context->archiveFile, cursor->next + kCentralFixed + c.nameLength, buffer, c.extraLength,
                kResultUnexpectedEnd);
  if (r != kResultOk) return r;
  if (!WidenFromZip64(buffer, c.extraLength, &c.uncompressedSize, &c.compressedSize, &c.localOffset))
    return kResultFormat;
  if (!ShiftOntoFile(d, c.localOffset, &entry->localOffset)) return kResultFormat;
  entry->crc32 = c.crc32;
  entry->compressedSize = c.compressedSize;
  entry->uncompressedSize = c.uncompressedSize;
  entry->sizesValid = c.compressedSize <= kMaxZipSize && c.uncompressedSize <= kMaxZipSize;
  cursor->next += length;
  ++cursor->index;
  return kResultOk;
}
