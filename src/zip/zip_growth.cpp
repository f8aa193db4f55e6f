#include "zip/zip_growth.h"

#include <cstring>

#include "core/little_endian.h"
#include "core/tail_records.h"
#include "zip/zip_directory.h"
#include "zip/zip_header.h"
#include "zip/zip_write_records.h"

namespace {
constexpr uint32_t kCount16Full = 0xFFFF;

// The values of the end records at the file's end, when they are ours: the records we
// would write for them are the file's last bytes, right behind the directory.
ResultCode ReadOurEnd(ArchiveContext* context, ZipGrowth* growth) {
  const uint64_t fileSize = context->fileSize;
  const uint32_t tailLength = fileSize < kMaxZipEndRecords ? static_cast<uint32_t>(fileSize) : kMaxZipEndRecords;
  if (tailLength < kZipEndFixed) return kResultNotFound;
  uint8_t tail[kMaxZipEndRecords];
  if (ResultCode r = ReadZipAt(context->archiveFile, fileSize - tailLength, tail, tailLength, kResultNotFound)) return r;
  const uint8_t* end = tail + tailLength - kZipEndFixed;
  if (Le32(end) != kZipEndSignature) return kResultNotFound;
  uint64_t count = Le16(end + 10), size = Le32(end + 12), offset = Le32(end + 16);
  if (count == kCount16Full || size == kSize32Unknown || offset == kSize32Unknown) {
    if (tailLength < kMaxZipEndRecords) return kResultNotFound;
    const uint8_t* zip64 = tail;  // the ZIP64 end record, then its locator
    count = Le64(zip64 + 32);
    size = Le64(zip64 + 40);
    offset = Le64(zip64 + 48);
  }
  uint8_t ours[kMaxZipEndRecords];
  const uint32_t length = BuildZipEndRecords(count, size, offset, ours);
  if (count > kMaxMembers || offset > fileSize || size > fileSize - offset || fileSize - offset - size != length ||
      std::memcmp(ours, tail + tailLength - length, length) != 0)
    return kResultNotFound;
  growth->count = static_cast<uint32_t>(count);
  growth->directoryOffset = offset;
  growth->directorySize = size;
  return kResultOk;
}

// The length of the central record at p; false when it is none or reaches past the
// available bytes.
bool RecordLength(const uint8_t* p, uint64_t available, uint32_t* length) {
  if (available < kZipCentralFixed || Le32(p) != kZipCentralSignature) return false;
  *length = kZipCentralFixed + uint32_t{Le16(p + 28)} + Le16(p + 30) + Le16(p + 32);
  return *length <= available;
}

// Where the record says its member's local header is; false when its ZIP64 field lacks it.
bool RecordLocalOffset(const uint8_t* p, uint64_t* offset) {
  uint64_t size = Le32(p + 24), compressed = Le32(p + 20);
  *offset = Le32(p + 42);
  return WidenFromZip64(p + kZipCentralFixed + Le16(p + 28), Le16(p + 30), &size, &compressed, offset);
}

// Reads the directory record by record through a window of ioBuffer (a record is at most
// 46 + 3 * 65535 bytes, less than the buffer). kResultNotFound when it is not count
// records filling its size exactly, or memory is short.
ResultCode LoadRecords(ArchiveContext* context, const ZipGrowth& growth) {
  static_assert(kZipCentralFixed + 3 * 65535 <= kIoBufferSize);
  uint64_t windowStart = 0, windowLength = 0, at = 0;
  uint32_t length = 0;
  for (uint32_t i = 0; i < growth.count; ++i) {
    // A record not whole in the window: the window moves to it.
    if (!RecordLength(context->ioBuffer + (at - windowStart), windowStart + windowLength - at, &length)) {
      const uint64_t left = growth.directorySize - at;
      windowStart = at;
      windowLength = left < kIoBufferSize ? left : kIoBufferSize;
      if (ResultCode r = ReadZipAt(context->archiveFile, growth.directoryOffset + at, context->ioBuffer,
                                   static_cast<uint32_t>(windowLength), kResultNotFound))
        return r;
    }
    const uint8_t* record = context->ioBuffer + (at - windowStart);
    uint64_t offset = 0;
    if (!RecordLength(record, windowStart + windowLength - at, &length) || !RecordLocalOffset(record, &offset) ||
        !AddTailRecord(&context->tailRecords, record, length))
      return kResultNotFound;
    at += length;
  }
  return at == growth.directorySize ? kResultOk : kResultNotFound;
}

const uint8_t* RecordAt(const TailRecords& records, uint32_t index) {
  return records.bytes + (index == 0 ? 0 : records.ends[index - 1]);
}
}  // namespace

ResultCode BeginZipGrowth(ArchiveContext* context, ZipGrowth* growth) {
  *growth = {};
  FreeTailRecords(&context->tailRecords);
  if (context->openMode != kModeReadWrite) return kResultOk;
  ResultCode r = ReadOurEnd(context, growth);
  if (r == kResultOk) r = LoadRecords(context, *growth);
  if (r == kResultRead) return r;
  growth->possible = r == kResultOk;
  return kResultOk;
}

void CheckZipGrowthMember(const ArchiveContext* context, ZipGrowth* growth) {
  if (!growth->possible) return;
  uint64_t offset = 0;
  growth->possible = context->memberIndex < growth->count &&
                     RecordLocalOffset(RecordAt(context->tailRecords, context->memberIndex), &offset) &&
                     offset == context->position;
}

void EndZipGrowth(ArchiveContext* context, const ZipGrowth* growth, ResultCode walkEnd) {
  if (growth->possible && walkEnd == kResultEndOfMembers && context->memberIndex == growth->count &&
      context->position == growth->directoryOffset)
    return;
  FreeTailRecords(&context->tailRecords);
  if (context->openMode == kModeReadWrite) context->openMode = kModeReadOnly;
}
