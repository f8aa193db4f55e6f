// Appending a member to a ZIP: its local header, written with placeholders and patched once
// the data are written (no data descriptors) unless the data were made ready ahead, its data
// deflated or stored, then the central directory (the old records and the new one) and the
// end records behind it.
#include "zip/zip_append.h"

#include <algorithm>

#include "core/append.h"
#include "core/append_ahead.h"
#include "core/member_name.h"
#include "core/progress.h"
#include "core/tail_records.h"
#include "deflate/crc32.h"
#include "deflate/deflate_encode.h"
#include "zip/zip_header.h"
#include "zip/zip_pieces.h"
#include "zip/zip_write_records.h"

namespace {
constexpr uint32_t kMaxZipLocalHeader = kZipLocalFixed + kMaxNameBytes + kMaxZipWrittenExtra;
static_assert(kMaxZipLocalHeader <= kMaxAppendHeader);
// Attributes the listing gives a member we write (the local header's flags).
constexpr uint32_t kListedFlags = kAttrZipUtf8 | kAttrZipMethodKnown;
// The most written in one call: the directory may be larger than a write takes.
constexpr uint64_t kWriteSlice = uint64_t{1} << 30;

// The member in work as it is written: its name as stored, the rest from the entry.
ZipWrittenMember MemberInWork(const ArchiveContext* context) {
  const EntryRecord& e = context->entry;
  return {context->storedName.bytes, context->storedName.length, e.method, e.checksum,
          static_cast<uint64_t>(e.packedSize), e.size, e.modified, e.attributes, context->appendOffset};
}

// The local header: final for data made ready ahead, else with placeholders for method,
// CRC-32 and compressed size.
uint32_t BuildZipHeader(ArchiveContext* context, uint8_t* header, uint64_t size) {
  EntryRecord& e = context->entry;
  EncodeMemberName(context, true);
  SetStoredName(context, context->ioBuffer, kNameArea, kNameUtf8, false);
  const PreparedData* prepared = context->prepared;
  e.method = static_cast<uint16_t>(prepared != nullptr ? prepared->method : kZipMethodDeflate);
  e.checksum = prepared != nullptr ? prepared->checksum : 0;
  e.packedSize = prepared != nullptr ? static_cast<int64_t>(prepared->length) : 0;
  e.size = size;
  return BuildZipLocalHeader(MemberInWork(context), header);
}

// The next chunk of the source into ioBuffer (*n 0 at its end), counted and folded into the
// CRC-32. A source that grows while it is read would otherwise be copied without end.
ResultCode ReadSourceChunk(ArchiveContext* context, DeflateRun* run, uint32_t* n) {
  if (ReadSource(context) != kResultOk) return context->result;
  *n = context->bytesRead;
  run->read += *n;
  if (run->read > run->size) return Fail(context, kResultChecksum);
  run->crc = Crc32Update(run->crc, context->ioBuffer, *n);
  return kResultOk;
}

// Copies the source as it is from its start, with a fresh CRC-32.
ResultCode CopySource(ArchiveContext* context, DeflateRun* run) {
  ProgressSkip(context, -static_cast<int64_t>(run->read));
  if (!FileSeek(context->sourceFile, 0, kSeekBegin, nullptr)) return Fail(context, kResultRead);
  run->crc = 0;
  run->read = 0;
  for (;;) {
    uint32_t n = 0;
    if (ReadSourceChunk(context, run, &n) != kResultOk) return context->result;
    if (n == 0) break;
    if (WriteArchive(context, context->ioBuffer, n) != kResultOk) return context->result;
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    ProgressAdvance(context, n);
  }
  return run->read == run->size ? kResultOk : Fail(context, kResultChecksum);
}

// Stores the source over the abandoned Deflate data.
ResultCode StoreSource(ArchiveContext* context, DeflateRun* run, uint64_t dataStart) {
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(dataStart), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  return CopySource(context, run);
}

// The header again with the data's facts, and the file back behind the data.
ResultCode PatchHeader(ArchiveContext* context, uint64_t dataEnd) {
  uint8_t header[kMaxZipLocalHeader];
  const uint32_t length = BuildZipLocalHeader(MemberInWork(context), header);
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(context->appendOffset), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  if (WriteArchive(context, header, length) != kResultOk) return context->result;
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(dataEnd), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  return kResultOk;
}

// The member's central record behind the others in memory; it is written with the directory.
ResultCode AddCentralRecord(ArchiveContext* context) {
  uint8_t record[kMaxZipCentralRecord];
  const uint32_t length = BuildZipCentralRecord(MemberInWork(context), record);
  KeepTailRecords(&context->tailRecords, context->memberCount);
  if (!AddTailRecord(&context->tailRecords, record, length)) return Fail(context, kResultNoMemory);
  return kResultOk;
}

ResultCode EncodeMember(ArchiveContext* context, DeflateRun* run, uint64_t dataStart) {
  if (DeflateSourceInPieces(context, DeflateLevelOf(context->compressionLevel), run) != kResultOk)
    return context->result;
  if (run->abandoned) return StoreSource(context, run, dataStart);
  return kResultOk;
}

// Writes the data a worker made ready; the run says what they are.
ResultCode WritePrepared(ArchiveContext* context, const PreparedData* data, DeflateRun* run) {
  for (uint64_t at = 0; at < data->length;) {
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(data->length - at, kOutBufferSize));
    if (WriteArchive(context, data->bytes + at, n) != kResultOk) return context->result;
    at += n;
  }
  ProgressAdvance(context, data->facts.size);
  run->read = data->facts.size;
  run->written = data->length;
  run->crc = data->checksum;
  run->stored = data->method == kZipMethodStore;
  return kResultOk;
}

ResultCode WriteZipData(ArchiveContext* context, uint64_t size, uint64_t* stored) {
  uint8_t header[kMaxZipLocalHeader];
  const uint64_t dataStart = context->appendOffset + BuildZipLocalHeader(MemberInWork(context), header);
  DeflateRun run{};
  run.size = size;
  const PreparedData* prepared = context->prepared;
  if ((prepared != nullptr ? WritePrepared(context, prepared, &run) : EncodeMember(context, &run, dataStart)) != kResultOk)
    return context->result;
  EntryRecord& e = context->entry;
  const bool asItIs = run.stored || run.abandoned;
  e.method = asItIs ? kZipMethodStore : kZipMethodDeflate;
  e.checksum = run.crc;
  e.packedSize = static_cast<int64_t>(run.abandoned ? size : run.written);
  *stored = static_cast<uint64_t>(e.packedSize);
  if (prepared == nullptr && PatchHeader(context, dataStart + *stored) != kResultOk) return context->result;
  if (AddCentralRecord(context) != kResultOk) return context->result;
  // Reported as the listing will show it again.
  e.attributes = kListedFlags | (asItIs ? 0 : kAttrZipCompressed);
  return kResultOk;
}

// The directory of the first memberCount records, and the end records behind it.
ResultCode WriteZipEnd(ArchiveContext* context, uint32_t memberCount, uint64_t offset, uint64_t, uint64_t* end) {
  const TailRecords& records = context->tailRecords;
  // Records missing would write a directory that loses members.
  if (memberCount > records.count) return Fail(context, kResultSave);
  const uint64_t length = TailRecordsLength(&records, memberCount);
  for (uint64_t at = 0; at < length;) {
    const uint64_t n = length - at < kWriteSlice ? length - at : kWriteSlice;
    if (WriteArchive(context, records.bytes + at, static_cast<uint32_t>(n)) != kResultOk) return context->result;
    at += n;
  }
  uint8_t endRecords[kMaxZipEndRecords];
  const uint32_t endLength = BuildZipEndRecords(memberCount, length, offset, endRecords);
  if (WriteArchive(context, endRecords, endLength) != kResultOk) return context->result;
  *end = offset + length + endLength;
  return kResultOk;
}

uint64_t ZipEndLength(const ArchiveContext* context, uint32_t memberCount, uint64_t offset) {
  const uint64_t length = TailRecordsLength(&context->tailRecords, memberCount);
  uint8_t endRecords[kMaxZipEndRecords];
  return length + BuildZipEndRecords(memberCount, length, offset, endRecords);
}
}  // namespace

DeflateLevel DeflateLevelOf(uint32_t compressionLevel) {
  switch (compressionLevel) {
    case kCompressFast: return kDeflateFast;
    case kCompressBest: return kDeflateBest;
    default: return kDeflateNormal;
  }
}

const AppendSteps kZipAppendSteps = {BuildZipHeader, WriteZipData, WriteZipEnd, ZipEndLength, kMaxSourceSize, true,
                                     PrepareZipData};
