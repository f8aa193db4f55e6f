// Finding the central directory from the records at the end of a ZIP file.
#include <new>

#include "core/little_endian.h"
#include "zip/zip.h"
#include "zip/zip_directory.h"

namespace {
constexpr uint32_t kEndFixed = 22;
constexpr uint32_t kEndCommentLength = 20;
constexpr uint32_t kLocatorBytes = 20;
constexpr uint32_t kZip64EndFixed = 56;
constexpr uint16_t kCount16Unknown = 0xFFFF;

// The directory as the end records describe it.
struct EndFields {
  uint64_t recordOffset;  // the record the central headers end at
  uint32_t disk;
  uint32_t directoryDisk;
  uint64_t count;
  uint64_t size;
  uint64_t offset;
};

// Offset in tail of the end record whose comment ends exactly at the file's end; searching
// from the back takes the real one before any look-alike inside a comment.
bool FindEndRecord(const uint8_t* tail, uint32_t length, uint32_t* at) {
  for (uint32_t i = length - kEndFixed + 1; i-- > 0;) {
    if (Le32(tail + i) == kZipEndSignature && i + kEndFixed + Le16(tail + i + kEndCommentLength) == length) {
      *at = i;
      return true;
    }
  }
  return false;
}

EndFields ParseEndRecord(const uint8_t* p, uint64_t recordOffset) {
  return {recordOffset, Le16(p + 4), Le16(p + 6), Le16(p + 10), Le32(p + 12), Le32(p + 16)};
}

bool DefersToZip64(const EndFields& f) {
  return f.disk == kCount16Unknown || f.directoryDisk == kCount16Unknown || f.count == kCount16Unknown ||
         f.size == kSize32Unknown || f.offset == kSize32Unknown;
}

// The ZIP64 end record the locator in front of the end record points to: where it says, or
// right in front of the locator when a stub moved it. kResultNotFound without a locator.
ResultCode ReadZip64End(FileHandle file, EndFields* f) {
  if (f->recordOffset < kLocatorBytes) return kResultNotFound;
  const uint64_t locatorOffset = f->recordOffset - kLocatorBytes;
  uint8_t locator[kLocatorBytes];
  if (ResultCode r = ReadZipAt(file, locatorOffset, locator, kLocatorBytes, kResultNotFound)) return r;
  if (Le32(locator) != kZip64LocatorSignature) return kResultNotFound;
  const uint64_t stated = Le64(locator + 8);
  const uint64_t fitted = locatorOffset >= kZip64EndFixed ? locatorOffset - kZip64EndFixed : stated;
  for (uint64_t at : {stated, fitted}) {
    if (at > locatorOffset || locatorOffset - at < kZip64EndFixed) continue;
    uint8_t p[kZip64EndFixed];
    if (ResultCode r = ReadZipAt(file, at, p, kZip64EndFixed, kResultNotFound)) return r;
    if (Le32(p) != kZip64EndSignature) continue;
    *f = {at, Le32(p + 16), Le32(p + 20), Le64(p + 32), Le64(p + 40), Le64(p + 48)};
    return kResultOk;
  }
  return kResultNotFound;
}

ResultCode IsCentralHeaderAt(FileHandle file, uint64_t offset, bool* found) {
  uint8_t signature[kZipSignatureSize];
  ResultCode r = ReadZipAt(file, offset, signature, kZipSignatureSize, kResultNotFound);
  *found = r == kResultOk && Le32(signature) == kZipCentralSignature;
  return r == kResultRead ? r : kResultOk;
}

// The directory ends where the end records begin. Starting from there its size back, the
// offsets it gives are off by one shift (0 when the stub's bytes were counted in); else it
// may still be found where it says, with something between it and the end records.
ResultCode PlaceDirectory(FileHandle file, const EndFields& f, ZipDirectory* d) {
  if (f.disk != 0 || f.directoryDisk != 0 || f.size > f.recordOffset || f.offset > kMaxZipSize)
    return kResultNotFound;
  const uint64_t fitted = f.recordOffset - f.size;
  bool found = false;
  if (ResultCode r = IsCentralHeaderAt(file, fitted, &found)) return r;
  if (found) {
    *d = {fitted, f.recordOffset, f.count, static_cast<int64_t>(fitted) - static_cast<int64_t>(f.offset)};
    return kResultOk;
  }
  if (f.offset >= f.recordOffset) return kResultNotFound;
  if (ResultCode r = IsCentralHeaderAt(file, f.offset, &found)) return r;
  if (!found) return kResultNotFound;
  *d = {f.offset, f.recordOffset, f.count, 0};
  return kResultOk;
}
}  // namespace

ResultCode ReadZipAt(FileHandle file, uint64_t offset, uint8_t* into, uint32_t count,
                     ResultCode shortResult) {
  if (offset > kMaxZipSize) return shortResult;
  if (!FileSeek(file, static_cast<int64_t>(offset), kSeekBegin, nullptr)) return kResultRead;
  uint32_t got = 0;
  if (count > 0 && !FileRead(file, into, count, &got)) return kResultRead;
  return got < count ? shortResult : kResultOk;
}

ResultCode FindZipDirectory(FileHandle file, uint64_t fileSize, uint8_t* tail, ZipDirectory* directory) {
  if (fileSize < kEndFixed || fileSize > kMaxZipSize) return kResultNotFound;
  const uint32_t length = fileSize < kZipTailBytes ? static_cast<uint32_t>(fileSize) : kZipTailBytes;
  const uint64_t tailOffset = fileSize - length;
  if (ResultCode r = ReadZipAt(file, tailOffset, tail, length, kResultNotFound)) return r;
  uint32_t at = 0;
  if (!FindEndRecord(tail, length, &at)) return kResultNotFound;
  EndFields fields = ParseEndRecord(tail + at, tailOffset + at);
  const ResultCode zip64 = ReadZip64End(file, &fields);
  if (zip64 == kResultRead) return zip64;
  if (zip64 != kResultOk && DefersToZip64(fields)) return kResultNotFound;
  return PlaceDirectory(file, fields, directory);
}

bool EndsAsZip(FileHandle file) {
  uint64_t fileSize = 0;
  if (!FileGetSize(file, &fileSize)) return false;
  uint8_t* tail = new (std::nothrow) uint8_t[kZipTailBytes];
  if (tail == nullptr) return false;
  ZipDirectory directory{};
  const bool found = FindZipDirectory(file, fileSize, tail, &directory) == kResultOk && directory.count > 0;
  delete[] tail;
  return found;
}
