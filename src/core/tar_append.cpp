#include <cstring>

#include "core/append.h"
#include "core/filetime.h"
#include "core/names.h"
#include "core/progress.h"
#include "core/tar.h"

namespace {
constexpr uint32_t kNameArea = 1024;
constexpr uint32_t kAppendedMode = 0777;
constexpr uint64_t kMaxTarTime = 077777777777ULL;  // 11 octal digits
constexpr uint8_t kTarEndMarker[2 * kTarBlockSize] = {};

void StoreTarName(ArchiveContext* context, uint8_t* header) {
  std::memset(context->ioBuffer, 0, kNameArea);
  if (context->headerCodePage == 65001)
    WideToUtf8(context->memberName, context->ioBuffer);
  else
    WideToBytes(context->memberName, context->ioBuffer);
  context->ioBuffer[kTarNameSize - 1] = 0;
  std::memcpy(header, context->ioBuffer, kTarNameSize);
  std::memcpy(context->entry.name, context->ioBuffer, kTarNameSize);
}

void BuildTarHeader(ArchiveContext* context, uint8_t* header, uint64_t size) {
  EntryRecord& e = context->entry;
  std::memset(header, 0, kTarBlockSize);
  StoreTarName(context, header);
  WriteOctal(header + kTarModeOffset, 7, kAppendedMode);
  WriteOctal(header + kTarUidOffset, 7, 0);
  WriteOctal(header + kTarGidOffset, 7, 0);
  WriteOctal(header + kTarSizeOffset, 11, size);
  uint64_t seconds = FileTimeToUnix(e.modified);  // before 1970 becomes 0, never a wrapped value
  WriteOctal(header + kTarMtimeOffset, 11, seconds < kMaxTarTime ? seconds : kMaxTarTime);
  header[kTarTypeflagOffset] = '0';
  e.mode = kAppendedMode;
  e.padding = TarPadding(size);
  e.checksum = StoreTarChecksum(header);
}

// TAR data need no checksum, so the system may copy it without passing it through us.
ResultCode CopySourceTar(ArchiveContext* context, uint64_t expected) {
  static constexpr uint8_t kZeros[kTarBlockSize] = {};
  uint64_t written = 0;
  for (;;) {
    uint32_t n = 0;
    CopyOutcome outcome = FileCopyRange(context->sourceFile, context->archiveFile, kIoBufferSize,
                                        context->ioBuffer, &n);
    if (outcome == kCopyReadFailed) return Fail(context, kResultRead);
    if (outcome == kCopyWriteFailed) return Fail(context, kResultWrite);
    if (n == 0) break;
    uint32_t padding = TarPadding(n);
    if (padding != 0 && WriteArchive(context, kZeros, padding) != kResultOk) return context->result;
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
}  // namespace

ResultCode AppendTar(ArchiveContext* context) {
  EntryRecord& e = context->entry;
  uint64_t size = static_cast<uint64_t>(e.packedSize);
  if (size >= kMaxTarMemberSize) return Fail(context, kResultLimit);
  if (context->strictMode == 0) ProgressBegin(context, e.packedSize, context->onProgress, context->progressUser);
  context->memberIndex = context->memberCount;
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(context->appendOffset), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  uint8_t header[kTarBlockSize];
  BuildTarHeader(context, header, size);
  context->appendPending = 1;
  if (WriteArchive(context, header, kTarBlockSize) != kResultOk) return context->result;
  if (CopySourceTar(context, size + e.padding) != kResultOk) return context->result;
  if (WriteArchive(context, kTarEndMarker, sizeof kTarEndMarker) != kResultOk) return context->result;
  if (!FileTruncate(context->archiveFile)) return Fail(context, kResultWrite);
  context->appendOffset += kTarBlockSize + size + e.padding;
  context->fileSize = context->appendOffset + sizeof kTarEndMarker;
  context->memberCount += 1;
  e.size = size;
  e.packedSize = static_cast<int64_t>(size + e.padding);
  context->appendPending = 0;
  if (context->onMember != nullptr) context->onMember(context);
  return context->result;
}
