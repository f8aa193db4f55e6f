#include <cstring>

#include "core/append.h"
#include "core/filetime.h"
#include "core/member_name.h"
#include "core/progress.h"
#include "core/tar.h"

namespace {
constexpr uint32_t kAppendedMode = 0777;
constexpr uint64_t kMaxTarTime = 077777777777ULL;  // 11 octal digits

void StoreTarName(ArchiveContext* context, uint8_t* header) {
  EncodeMemberName(context, context->headerCodePage == kCodePageUtf8);
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
  e.packedSize = static_cast<int64_t>(size + e.padding);
  e.checksum = StoreTarChecksum(header);
}

// TAR data need no checksum, so the system may copy it without passing it through us.
ResultCode CopySourceTar(ArchiveContext* context, uint64_t expected) {
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
}  // namespace

const AppendSteps kTarAppendSteps = {BuildTarHeader, WriteTarData, kMaxTarMemberSize - 1, kTarEndMarkerSize};
