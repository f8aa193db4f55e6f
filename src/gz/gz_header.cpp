#include <cstring>

#include "core/filetime.h"
#include "deflate/crc32.h"
#include "gz/gz.h"
#include "core/little_endian.h"

namespace {
constexpr uint32_t kFixedSize = 10;
constexpr uint8_t kFlagHeaderCrc = 0x02;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kFlagName = 0x08;
constexpr uint8_t kFlagComment = 0x10;
constexpr uint8_t kFlagsReserved = 0xE0;
// Names and comments must end before this offset of the header's first read.
constexpr uint32_t kScanLimit = kIoBufferSize - 2;

// Length of the zero-terminated field at *at, zero included, moving *at behind it; 0 when
// it does not end before the scan limit.
uint32_t TerminatedLength(const uint8_t* buffer, uint32_t* at) {
  if (*at >= kScanLimit) return 0;
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(buffer + *at, 0, kScanLimit - *at));
  if (end == nullptr) return 0;
  const uint32_t length = static_cast<uint32_t>(end - (buffer + *at)) + 1;
  *at += length;
  return length;
}

void ParseFixedFields(const uint8_t* p, GzHeader* h) {
  h->magic = Le16(p);
  h->compressionMethod = p[2];
  h->headerFlags = p[3];
  h->modificationTime = Le32(p + 4);
  h->extraFlags = p[8];
  h->operatingSystem = p[9];
}

// The optional fields in their order; *at ends behind them.
ResultCode ParseOptionalFields(const uint8_t* buffer, uint32_t got, GzHeader* h, EntryRecord* entry,
                               uint32_t* at) {
  if (h->headerFlags & kFlagExtra) {
    h->extraLength = Le16(buffer + *at);
    *at += 2 + h->extraLength;
  }
  if (h->headerFlags & kFlagName) {
    const uint32_t start = *at;
    h->nameStart = start;
    h->nameLength = TerminatedLength(buffer, at);
    if (h->nameLength == 0) return kResultFormat;
  }
  if (h->headerFlags & kFlagComment) {
    h->commentLength = TerminatedLength(buffer, at);
    if (h->commentLength == 0) return kResultFormat;
  }
  if (h->headerFlags & kFlagHeaderCrc) {
    if (got < *at + 2) return kResultUnexpectedEnd;
    h->headerCrc = Le16(buffer + *at);
    if ((Crc32Update(0, buffer, *at) & 0xFFFF) != h->headerCrc) return kResultChecksum;
    *at += 2;
  }
  return got < *at ? kResultUnexpectedEnd : kResultOk;
}

// Sizes from the trailer at the file's end.
ResultCode ReadTrailer(FileHandle file, GzHeader* h, EntryRecord* entry, uint64_t fileSize) {
  h->trailerOffset = fileSize - kGzTrailerSize;
  if (ResultCode r = ReadGzTrailer(file, fileSize, &h->trailerCrc, &h->trailerSize)) return r;
  h->compressedSize = h->trailerOffset - h->dataOffset;
  entry->packedSize = static_cast<int64_t>(h->compressedSize);
  entry->size = h->trailerSize;
  return kResultOk;
}
}  // namespace

ResultCode ReadGzTrailer(FileHandle file, uint64_t fileSize, uint32_t* crc, uint32_t* size) {
  uint8_t trailer[kGzTrailerSize];
  uint32_t got = 0;
  if (fileSize < kGzTrailerSize) return kResultUnexpectedEnd;
  if (!FileSeek(file, static_cast<int64_t>(fileSize - kGzTrailerSize), kSeekBegin, nullptr) ||
      !FileRead(file, trailer, kGzTrailerSize, &got))
    return kResultRead;
  if (got < kGzTrailerSize) return kResultUnexpectedEnd;
  *crc = Le32(trailer);
  *size = Le32(trailer + 4);
  return kResultOk;
}

ResultCode ReadGzHeader(FileHandle file, GzHeader* header, EntryRecord* entry, uint8_t* buffer,
                        uint64_t fileSize) {
  std::memset(header, 0, sizeof *header);
  std::memset(buffer, 0, kIoBufferSize);
  uint64_t start = 0;
  uint32_t got = 0;
  if (!FileSeek(file, 0, kSeekCurrent, &start) || !FileRead(file, buffer, kIoBufferSize, &got))
    return kResultRead;
  ParseFixedFields(buffer, header);
  if (header->magic != kGzMagic) return kResultNotArchive;
  entry->signature = kGzMagic;
  entry->method = header->compressionMethod == kGzMethodDeflate ? kGzMethodDeflate : kGzMethodUnknown;
  if (header->headerFlags & kFlagsReserved) return kResultFormat;
  uint32_t at = kFixedSize;
  if (ResultCode r = ParseOptionalFields(buffer, got, header, entry, &at)) return r;
  entry->modified = UnixToFileTime(header->modificationTime);
  header->dataOffset = start + at;
  if (fileSize >= kGzTrailerSize && fileSize - kGzTrailerSize >= header->dataOffset) {
    if (ResultCode r = ReadTrailer(file, header, entry, fileSize)) return r;
  }
  if (!FileSeek(file, static_cast<int64_t>(header->dataOffset), kSeekBegin, nullptr)) return kResultRead;
  return kResultOk;
}
