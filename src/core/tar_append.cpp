#include <cstring>

#include "core/append.h"
#include "core/filetime.h"
#include "core/member_name.h"
#include "core/names.h"
#include "core/progress.h"
#include "core/tar.h"

namespace {
constexpr uint32_t kAppendedMode = 0777;
constexpr uint32_t kPaxHeaderMode = 0644;
constexpr uint64_t kMaxTarTime = 077777777777ULL;  // 11 octal digits
constexpr char kPaxPathKey[] = " path=";

uint32_t DecimalDigits(uint32_t n) {
  uint32_t digits = 1;
  for (; n >= 10; n /= 10) ++digits;
  return digits;
}

// "LENGTH path=NAME\n", LENGTH counting the whole record, its own digits included.
uint32_t WritePaxPathRecord(uint8_t* out, const uint8_t* name, uint32_t nameLength) {
  uint32_t rest = static_cast<uint32_t>(sizeof kPaxPathKey - 1) + nameLength + 1;
  uint32_t total = rest + DecimalDigits(rest);
  if (DecimalDigits(total) != DecimalDigits(rest)) ++total;
  uint32_t digits = DecimalDigits(total);
  for (uint32_t i = digits, v = total; i > 0; --i, v /= 10) out[i - 1] = static_cast<uint8_t>('0' + v % 10);
  std::memcpy(out + digits, kPaxPathKey, sizeof kPaxPathKey - 1);
  std::memcpy(out + digits + sizeof kPaxPathKey - 1, name, nameLength);
  out[total - 1] = '\n';
  return total;
}

// Mode, owner, size, time and type: the fields every header we write shares.
void WriteTarFields(uint8_t* header, uint32_t mode, uint64_t size, uint64_t modified, uint8_t type) {
  WriteOctal(header + kTarModeOffset, 7, mode);
  WriteOctal(header + kTarUidOffset, 7, 0);
  WriteOctal(header + kTarGidOffset, 7, 0);
  WriteOctal(header + kTarSizeOffset, 11, size);
  uint64_t seconds = FileTimeToUnix(modified);  // before 1970 becomes 0, never a wrapped value
  WriteOctal(header + kTarMtimeOffset, 11, seconds < kMaxTarTime ? seconds : kMaxTarTime);
  header[kTarTypeflagOffset] = type;
}

// The pax record that carries a name the name field cannot hold, always in UTF-8, and the
// member's header with as much of the name as fits whole characters in 99 bytes; returns
// where the member's own header starts.
uint32_t WritePaxName(ArchiveContext* context, uint8_t* material) {
  uint32_t length = WideToUtf8(context->memberName, context->ioBuffer, kNameArea);
  uint8_t* record = material + kTarBlockSize;
  uint32_t recordLength = WritePaxPathRecord(record, context->ioBuffer, length);
  uint32_t padded = recordLength + TarPadding(recordLength);
  std::memcpy(material, kPaxHeaderName, sizeof kPaxHeaderName - 1);
  WriteTarFields(material, kPaxHeaderMode, recordLength, context->entry.modified, 'x');
  std::memcpy(material + kTarMagicOffset, kUstarMagicVersion, sizeof kUstarMagicVersion);
  StoreTarChecksum(material);
  SetStoredName(context, context->ioBuffer, length, kNameUtf8, false);
  uint8_t* header = record + padded;
  WideToUtf8(context->memberName, header, kTarNameSize);
  std::memcpy(header + kTarMagicOffset, kUstarMagicVersion, sizeof kUstarMagicVersion);
  return kTarBlockSize + padded;
}

// The name in the name field when it fits in 99 bytes, behind a pax record otherwise;
// returns where the member's own header starts in the material.
uint32_t StoreTarName(ArchiveContext* context, uint8_t* material) {
  NameEncoding preferred = context->headerCodePage == kCodePageUtf8 ? kNameUtf8 : kNameLatin1;
  bool utf8 = WritesAsUtf8(context->memberName, preferred);
  EncodeMemberName(context, utf8);
  if (std::strlen(reinterpret_cast<const char*>(context->ioBuffer)) >= kTarNameSize)
    return WritePaxName(context, material);
  std::memcpy(material, context->ioBuffer, kTarNameSize);
  SetStoredName(context, material, kTarNameSize, utf8 ? kNameUtf8 : kNameLatin1, true);
  return 0;
}

uint32_t BuildTarHeader(ArchiveContext* context, uint8_t* material, uint64_t size) {
  EntryRecord& e = context->entry;
  uint32_t headerOffset = StoreTarName(context, material);
  uint8_t* header = material + headerOffset;
  WriteTarFields(header, kAppendedMode, size, e.modified, '0');
  e.mode = kAppendedMode;
  e.padding = TarPadding(size);
  e.packedSize = static_cast<int64_t>(size + e.padding);
  e.checksum = StoreTarChecksum(header);
  return headerOffset + kTarBlockSize;
}

// A source small enough to be gathered (core/append.cpp) is read whole into the gathered
// write: FileRead stops short of a full block only at the file's end.
ResultCode GatherSourceTar(ArchiveContext* context, uint64_t expected) {
  uint32_t n = 0;
  if (!FileRead(context->sourceFile, context->ioBuffer, kIoBufferSize, &n)) return Fail(context, kResultRead);
  const uint32_t padding = TarPadding(n);
  if (n + padding != expected) return Fail(context, kResultChecksum);
  if (WriteArchive(context, context->ioBuffer, n) != kResultOk) return context->result;
  if (padding != 0 && WriteArchive(context, kTarEndMarker, padding) != kResultOk) return context->result;
  if (WaitWhilePaused(context) != kResultOk) return context->result;
  ProgressAdvance(context, n + padding);
  return kResultOk;
}

// TAR data need no checksum, so the system may copy it without passing it through us.
ResultCode CopySourceTar(ArchiveContext* context, uint64_t expected) {
  if (context->writeStage.on) return GatherSourceTar(context, expected);
  uint64_t written = 0;
  for (;;) {
    uint32_t n = 0;
    CopyOutcome outcome = FileCopyRange(context->sourceFile, context->archiveFile, kIoBufferSize,
                                        context->ioBuffer, &n);
    if (outcome == kCopyReadFailed) return Fail(context, kResultRead);
    if (outcome == kCopyWriteFailed) return Fail(context, kResultWrite);
    if (n == 0) break;
    uint32_t padding = TarPadding(n);
    if (padding != 0 && WriteArchive(context, kTarEndMarker, padding) != kResultOk) return context->result;
    n += padding;
    written += n;
    // A source that grows while it is read would otherwise be copied without end.
    if (written > expected) return Fail(context, kResultChecksum);
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    ProgressAdvance(context, n);
  }
  if (written != expected) return Fail(context, kResultChecksum);
  return kResultOk;
}

ResultCode WriteTarData(ArchiveContext* context, uint64_t size, uint64_t* stored) {
  *stored = size + context->entry.padding;
  return CopySourceTar(context, *stored);
}
// Behind the last member a TAR holds only zero blocks (listing stops at anything else): its
// two end blocks, or as many as it had up to size.
ResultCode WriteTarEnd(ArchiveContext* context, uint32_t, uint64_t offset, uint64_t size, uint64_t* end) {
  const uint64_t last = size > offset + kTarEndMarkerSize ? size : offset + kTarEndMarkerSize;
  for (uint64_t at = offset; at < last;) {
    const uint64_t left = last - at;
    const uint32_t n = left < kTarEndMarkerSize ? static_cast<uint32_t>(left) : kTarEndMarkerSize;
    if (WriteArchive(context, kTarEndMarker, n) != kResultOk) return context->result;
    at += n;
  }
  *end = last;
  return kResultOk;
}
uint64_t TarEndLength(const ArchiveContext*, uint32_t, uint64_t) { return kTarEndMarkerSize; }
}  // namespace

const AppendSteps kTarAppendSteps = {BuildTarHeader, WriteTarData, WriteTarEnd, TarEndLength, kMaxTarMemberSize - 1,
                                     false, nullptr, true};
