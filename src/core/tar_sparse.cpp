// Sparse TAR members: the map of the stretches that hold data, in each of GNU tar's forms,
// and the copy that puts those stretches back where they belong.
#include <new>

#include "core/extract.h"
#include "core/progress.h"
#include "core/tar.h"

namespace {
constexpr uint32_t kOldGnuMapOffset = 386;
constexpr uint32_t kOldGnuHeaderEntries = 4;
constexpr uint32_t kOldGnuBlockEntries = 21;
constexpr uint32_t kOldGnuEntrySize = 2 * kTarLongField;
constexpr uint32_t kMaxMapDigits = 20;

ResultCode AddSegment(ArchiveContext* context, uint64_t offset, uint64_t length) {
  if (context->sparseCount >= kMaxSparseSegments) return kResultFormat;
  context->sparseMap[context->sparseCount++] = {offset, length};
  return kResultOk;
}

// Entries of two 12-digit octal numbers; one whose offset field is empty ends the list.
ResultCode ReadOldGnuEntries(ArchiveContext* context, const uint8_t* entries, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = entries + i * kOldGnuEntrySize;
    if (entry[0] == 0) return kResultOk;
    uint64_t offset = ReadOctal(entry, kTarLongField);
    uint64_t length = ReadOctal(entry + kTarLongField, kTarLongField);
    if (AddSegment(context, offset, length) != kResultOk) return kResultFormat;
  }
  return kResultOk;
}

// Four entries in the header, 21 in each extension block behind it.
ResultCode ReadOldGnuMap(ArchiveContext* context, const TarHeaderState* state) {
  if (ReadOldGnuEntries(context, state->header + kOldGnuMapOffset, kOldGnuHeaderEntries) != kResultOk)
    return kResultFormat;
  for (uint32_t at = state->sparse.mapOffset + kTarBlockSize; at < state->consumed; at += kTarBlockSize)
    if (ReadOldGnuEntries(context, context->ioBuffer + at, kOldGnuBlockEntries) != kResultOk) return kResultFormat;
  return kResultOk;
}

// Decimal numbers, each ended by a separator (format 0.1's "o,n,o,n", 1.0's lines).
bool NextNumber(const uint8_t** at, const uint8_t* end, uint64_t* value) {
  const uint8_t* p = *at;
  uint64_t v = 0;
  uint32_t digits = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p, ++digits) {
    if (digits == kMaxMapDigits - 1) return false;
    v = v * 10 + static_cast<uint64_t>(*p - '0');
  }
  if (digits == 0) return false;
  if (p < end) ++p;  // the separator
  *at = p;
  *value = v;
  return true;
}

// Format 0.0 repeats GNU.sparse.offset and GNU.sparse.numbytes; 0.1 lists them in GNU.sparse.map.
ResultCode ReadPaxRecordsMap(ArchiveContext* context, const TarHeaderState* state) {
  const uint8_t* p = context->ioBuffer + state->sparse.paxOffset;
  const uint8_t* end = p + state->sparse.paxLength;
  uint64_t offset = 0;
  PaxField r;
  while (NextPaxRecord(&p, end, &r)) {
    if (PaxKeyIs(r, "GNU.sparse.offset")) offset = PaxDecimal(r);
    if (PaxKeyIs(r, "GNU.sparse.numbytes") && AddSegment(context, offset, PaxDecimal(r)) != kResultOk)
      return kResultFormat;
    if (!PaxKeyIs(r, "GNU.sparse.map")) continue;
    const uint8_t* q = r.value;
    uint64_t length = 0;
    while (q < r.valueEnd) {
      if (!NextNumber(&q, r.valueEnd, &offset) || !NextNumber(&q, r.valueEnd, &length)) return kResultFormat;
      if (AddSegment(context, offset, length) != kResultOk) return kResultFormat;
    }
  }
  return kResultOk;
}

// Format 1.0: the data begins with lines "count", then "offset" and "length" per stretch,
// in whole blocks; they become material, and the stored data shrinks by them.
ResultCode ReadPaxDataMap(ArchiveContext* context, TarHeaderState* state, uint64_t* mapBytes) {
  const uint32_t start = state->consumed;
  uint32_t at = start;
  uint64_t count = 0, offset = 0;
  for (uint64_t index = 0; index == 0 || index < 1 + 2 * count;) {
    // Read a block more until the next line ends inside what is read.
    uint32_t lineEnd = at;
    while (lineEnd < state->consumed && context->ioBuffer[lineEnd] != '\n') ++lineEnd;
    if (lineEnd == state->consumed) {
      if (ResultCode r = ReadMaterialBlock(context, context->ioBuffer, state)) return r;
      continue;
    }
    const uint8_t* p = context->ioBuffer + at;
    const uint8_t* next = context->ioBuffer + lineEnd + 1;
    uint64_t value = 0;
    if (!NextNumber(&p, next, &value) || p != next) return kResultFormat;
    at = lineEnd + 1;
    if (index == 0) {
      if (value > kMaxSparseSegments) return kResultFormat;
      count = value;
    } else if (index % 2 == 1) {
      offset = value;
    } else if (AddSegment(context, offset, value) != kResultOk) {
      return kResultFormat;
    }
    ++index;
  }
  *mapBytes = state->consumed - start;
  return kResultOk;
}

// Stretches in order, apart, inside the file, and together exactly the stored data.
ResultCode CheckMap(const ArchiveContext* context, uint64_t realSize, uint64_t stored) {
  uint64_t end = 0, sum = 0;
  for (uint32_t i = 0; i < context->sparseCount; ++i) {
    const SparseSegment& s = context->sparseMap[i];
    if (s.offset < end || s.length > realSize || s.offset > realSize - s.length) return kResultFormat;
    end = s.offset + s.length;
    sum += s.length;
  }
  return sum == stored ? kResultOk : kResultFormat;
}

// Moves the output forward over a hole; the system fills it with zeros (or leaves it
// unallocated) once something is written behind it or the length is set.
ResultCode SkipHole(ArchiveContext* context, uint64_t bytes) {
  if (bytes == 0 || context->outputFile == kInvalidFile) return kResultOk;
  if (!FileSeek(context->outputFile, static_cast<int64_t>(bytes), kSeekCurrent, nullptr)) return Fail(context, kResultWrite);
  ProgressAdvanceInOut(context, 0, bytes);
  return kResultOk;
}
}  // namespace

ResultCode ReadTarSparseMap(ArchiveContext* context, TarHeaderState* state) {
  // One entry more for the closing stretch at the file's end.
  if (context->sparseMap == nullptr) context->sparseMap = new (std::nothrow) SparseSegment[kMaxSparseSegments + 1];
  if (context->sparseMap == nullptr) return kResultNoMemory;
  context->sparseCount = 0;
  uint64_t mapBytes = 0;
  ResultCode r = kResultOk;
  if (state->sparse.kind == kSparseOldGnu) r = ReadOldGnuMap(context, state);
  if (state->sparse.kind == kSparsePaxRecords) r = ReadPaxRecordsMap(context, state);
  if (state->sparse.kind == kSparsePaxData) r = ReadPaxDataMap(context, state, &mapBytes);
  if (r != kResultOk) return r;
  EntryRecord& e = context->entry;
  const int64_t realSize = state->sparse.realSize;
  if (realSize < 0 || e.packedSize < 0 || static_cast<uint64_t>(e.packedSize) < mapBytes) return kResultFormat;
  const uint64_t stored = static_cast<uint64_t>(e.packedSize) - mapBytes;
  if (CheckMap(context, static_cast<uint64_t>(realSize), stored) != kResultOk) return kResultFormat;
  // The closing stretch gives the file its length, also when no data lies at its end.
  context->sparseMap[context->sparseCount++] = {static_cast<uint64_t>(realSize), 0};
  e.packedSize = static_cast<int64_t>(stored);
  e.size = static_cast<uint64_t>(realSize);
  e.padding = TarPadding(stored);
  return kResultOk;
}

ResultCode CopySparseTarData(ArchiveContext* context) {
  ProgressAdvanceInOut(context, context->entry.padding, 0);
  uint64_t at = 0;  // the output's position in the file it stands for
  for (uint32_t i = 0; i < context->sparseCount; ++i) {
    const SparseSegment s = context->sparseMap[i];
    if (SkipHole(context, s.offset - at) != kResultOk) return context->result;
    at = s.offset;
    for (uint64_t left = s.length; left > 0;) {
      uint32_t n = left < kIoBufferSize ? static_cast<uint32_t>(left) : kIoBufferSize;
      if (CopyBlock(context, n) != kResultOk) return context->result;
      if (WaitWhilePaused(context) != kResultOk) return context->result;
      ProgressAdvanceInOut(context, n, n);
      left -= n;
      at += n;
    }
  }
  if (context->outputFile != kInvalidFile && !FileTruncate(context->outputFile)) return Fail(context, kResultWrite);
  return context->result;
}
