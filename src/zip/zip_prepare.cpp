// A ZIP member's data made ready on a worker thread: the source read whole, its CRC-32, and
// the Deflate stream, or the source itself when deflating would not make it smaller (the
// same choice WriteZipData makes, so a prepared member is the member it would write).
#include <algorithm>
#include <new>

#include "core/append_ahead.h"
#include "deflate/crc32.h"
#include "deflate/deflate_encode.h"
#include "zip/zip_append.h"
#include "zip/zip_header.h"
#include "zip/zip_pieces.h"

namespace {
// Bytes per read.
constexpr uint32_t kSlice = 1u << 18;

// The source's bytes into a new buffer, and its facts; false for a device, a source larger
// than a worker holds, or one that grows while it is read.
bool ReadWhole(FileHandle file, const char16_t* path, uint8_t** bytes, FileFacts* facts) {
  if (!FileGetFacts(file, path, facts) || (facts->attributes & kAttrDevice) || facts->size > kMaxPreparedSource)
    return false;
  // One byte of room more shows a source that has grown.
  const uint64_t room = facts->size + 1;
  auto* buffer = new (std::nothrow) uint8_t[room];
  if (buffer == nullptr) return false;
  uint64_t have = 0;
  for (uint32_t got = 1; got != 0 && have < room; have += got)
    if (!FileRead(file, buffer + have, static_cast<uint32_t>(std::min<uint64_t>(room - have, kSlice)), &got)) {
      have = room;
      break;
    }
  if (have != facts->size) {
    delete[] buffer;
    return false;
  }
  *bytes = buffer;
  return true;
}

enum Packing { kPacked, kNotSmaller, kNotDone };

// The Deflate stream of source when it is shorter than the source; kNotDone on a cancel or
// short memory.
Packing DeflateWhole(const uint8_t* source, uint64_t size, DeflateLevel level, const std::atomic<uint32_t>* jobState,
                     uint8_t** packed, uint64_t* length) {
  if (size == 0) return kNotSmaller;
  auto* out = new (std::nothrow) uint8_t[size];
  if (out == nullptr) return kNotDone;
  // Room for one byte less than the source: data that do not fit would not be smaller.
  const DeflateResult r = DeflateWholeInPieces(level, source, size, out, size - 1, length, jobState);
  if (r != kDeflateDone) {
    delete[] out;
    return r == kDeflateNoProgress ? kNotSmaller : kNotDone;
  }
  *packed = out;
  return kPacked;
}

}  // namespace

void PrepareZipData(const char16_t* sourcePath, uint32_t compressionLevel, const std::atomic<uint32_t>* jobState,
                    PreparedData* out) {
  *out = {};
  const FileHandle file = FileOpen(sourcePath, kAccessRead, kShareRead, kOpenExisting);
  if (file == kInvalidFile) return;
  uint8_t* source = nullptr;
  FileFacts facts;
  const bool read = ReadWhole(file, sourcePath, &source, &facts);
  FileClose(file);
  if (!read) return;
  const uint64_t size = facts.size;
  uint8_t* packed = nullptr;
  uint64_t length = 0;
  switch (DeflateWhole(source, size, DeflateLevelOf(compressionLevel), jobState, &packed, &length)) {
    case kPacked:
      *out = {packed, length, Crc32Update(0, source, size), kZipMethodDeflate, facts, true};
      delete[] source;
      break;
    case kNotSmaller: *out = {source, size, Crc32Update(0, source, size), kZipMethodStore, facts, true}; break;
    case kNotDone: delete[] source; break;
  }
}
