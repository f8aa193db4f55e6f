#include <algorithm>
#include <cstring>

#include "core/little_endian.h"
#include "core/progress.h"
#include "core/read_ahead.h"
#include "zip/zip_header.h"

namespace {
constexpr uint32_t kDescriptor32 = 12;  // CRC-32 and two 4-byte sizes
constexpr uint32_t kDescriptor64 = 20;  // CRC-32 and two 8-byte sizes (ZIP64 members)
constexpr uint32_t kDescriptorSignatureSize = 4;  // the optional signature in front
// Bytes kept from one read for the next, so that a descriptor and the header signature
// behind it may straddle two reads.
constexpr uint32_t kCarry = kDescriptor64 + kZipSignatureSize - 1;
constexpr uint32_t kScanRead = kIoBufferSize - kCarry;
// Most members are small: the scan reads this much first and doubles each read up to
// kScanRead, so that a member of a few kilobytes costs a few kilobytes.
constexpr uint32_t kFirstScanRead = 4096;
static_assert(kFirstScanRead <= kScanRead, "the first read fits the buffer");
// The most a descriptor can take in front of the next header.
constexpr uint32_t kLongestDescriptor = kDescriptor64 + kDescriptorSignatureSize;

bool IsHeaderSignature(const uint8_t* p) {
  const uint32_t s = Le32(p);
  return s == kZipLocalSignature || s == kZipCentralSignature;
}

// Takes the descriptor of `body` bytes that ends at buffer offset `end` when it fits: its
// compressed size must put the data's end right in front of it (with or without its own
// signature), and its uncompressed size must agree with a size the header gave. distance
// is the number of bytes from the data's start to `end`.
bool TakeDescriptor(EntryRecord* e, const uint8_t* buffer, uint32_t end, int64_t distance,
                    uint32_t body) {
  if (end < body || distance < static_cast<int64_t>(body)) return false;
  const uint8_t* d = buffer + end - body;
  const bool wide = body == kDescriptor64;
  const uint64_t compressed = wide ? Le64(d + 4) : Le32(d + 4);
  const uint64_t uncompressed = wide ? Le64(d + 12) : Le32(d + 8);
  const uint64_t headerSize = wide ? e->size : e->size & 0xFFFFFFFF;
  if (e->size != 0 && headerSize != uncompressed) return false;
  uint32_t length = body;
  if (compressed != static_cast<uint64_t>(distance - body)) {
    length = body + kDescriptorSignatureSize;
    if (distance < static_cast<int64_t>(length) || compressed != static_cast<uint64_t>(distance - length))
      return false;
  }
  e->checksum = Le32(d);
  e->padding = length;
  e->packedSize = static_cast<int64_t>(compressed);
  e->size = wide ? uncompressed : (e->size & ~uint64_t{0xFFFFFFFF}) | uncompressed;
  return true;
}

// A member with a ZIP64 record has 8-byte sizes in its descriptor; writers that add the
// record without need may still write 4-byte ones, so both are tried for it.
bool TakeAnyDescriptor(EntryRecord* e, const uint8_t* buffer, uint32_t end, int64_t distance,
                       bool zip64) {
  return (zip64 && TakeDescriptor(e, buffer, end, distance, kDescriptor64)) ||
         TakeDescriptor(e, buffer, end, distance, kDescriptor32);
}

// Offset of the first header signature in the buffer whose descriptor fits, `end` if none.
// base counts the bytes of data scanned before this buffer.
uint32_t ScanChunk(EntryRecord* e, const uint8_t* buffer, uint32_t end, int64_t base, bool zip64) {
  const uint8_t* p = buffer;
  const uint8_t* last = buffer + end - kZipSignatureSize;
  while (end >= kZipSignatureSize && p <= last) {
    p = static_cast<const uint8_t*>(std::memchr(p, 'P', static_cast<size_t>(last - p) + 1));
    if (p == nullptr) break;
    const uint32_t at = static_cast<uint32_t>(p - buffer);
    if (IsHeaderSignature(p) && TakeAnyDescriptor(e, buffer, at, base + at - kCarry, zip64)) return at;
    ++p;
  }
  return end;
}
// The walk after a listing: the listing found where the next member starts, so the
// descriptor ends right there; checked as the scan checks it (a header signature behind,
// sizes that fit). False when there is no such offset or it does not fit: then the scan.
bool TakeListedDescriptor(ArchiveContext* context, const ZipLocalHeader& header) {
  const uint32_t next = context->memberIndex + 1;
  if (context->memberOffsets == nullptr || next >= context->memberCount || next >= context->memberOffsetCapacity)
    return false;
  const uint64_t end = context->memberOffsets[next];
  if (end < context->position + kDescriptor32) return false;
  const uint32_t before = static_cast<uint32_t>(std::min<uint64_t>(kLongestDescriptor, end - context->position));
  uint8_t bytes[kLongestDescriptor + kZipSignatureSize];
  uint32_t got = 0;
  if (!ArchiveSeek(context, end - before) || !ArchiveRead(context, bytes, before + kZipSignatureSize, &got) ||
      got != before + kZipSignatureSize ||
      !IsHeaderSignature(bytes + before))
    return false;
  const auto distance = static_cast<int64_t>(end - context->position);
  if (!TakeAnyDescriptor(&context->entry, bytes, before, distance, header.zip64)) return false;
  context->position = end;
  return true;
}
}  // namespace

ResultCode FindDataDescriptor(ArchiveContext* context, const ZipLocalHeader& header,
                              uint32_t reportFlag) {
  EntryRecord& e = context->entry;
  uint8_t* buffer = context->ioBuffer;
  std::memset(buffer, 0, kCarry);
  int64_t scanned = 0;
  e.packedSize = 0;
  if (context->position >= context->fileSize) {
    e.attributes |= kAttrZipSizesNotFound;
    return context->result;
  }
  const uint64_t dataStart = context->position;
  if (TakeListedDescriptor(context, header)) return context->result;
  if (!ArchiveSeek(context, dataStart)) return Fail(context, kResultRead);
  for (uint32_t read = kFirstScanRead;; read = std::min(kScanRead, read * 2)) {
    uint32_t n = 0;
    if (!ArchiveRead(context, buffer + kCarry, read, &n)) return Fail(context, kResultRead);
    const uint32_t end = kCarry + n;
    const uint32_t found = ScanChunk(&e, buffer, end, scanned, header.zip64);
    if (found != end) {
      // found may lie inside the carried bytes, in front of position.
      context->position = context->position + found - kCarry;
      return context->result;
    }
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    scanned += n;
    context->position += n;
    if (reportFlag != 0) ProgressPosition(context, context->position);
    // The data may run to the end of the file, with the descriptor as its last bytes; that
    // holds however the file's length falls on the reads.
    if (n < read || context->position >= context->fileSize) {
      if (!TakeAnyDescriptor(&e, buffer, end, scanned, header.zip64)) {
        e.packedSize = scanned;
        e.attributes |= kAttrZipSizesNotFound;
      }
      return context->result;
    }
    std::memmove(buffer, buffer + end - kCarry, kCarry);
  }
}
