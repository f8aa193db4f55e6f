// The one working record of the archive core and the progress block it reports through.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/entry_record.h"
#include "core/result.h"
#include "platform/platform.h"

using FormatKind = uint32_t;
enum : FormatKind { kFormatNone = 0, kFormatQbx = 1, kFormatTar = 2, kFormatZip = 3, kFormatGz = 4 };
inline constexpr uint32_t kFormatKindCount = 5;

enum : uint32_t { kModeClosed = 0, kModeReadOnly = 1, kModeReadWrite = 2 };

// Values of the job state word: written by the UI thread, read by the core at every poll.
enum : uint32_t {
  kJobIdle = 0,
  kJobClosing = 1,
  kJobClosed = 2,
  kJobRunning = 3,
  kJobPaused = 4,
  kJobCancelling = 5,
};

inline constexpr uint32_t kIoBufferSize = 262144;
inline constexpr uint32_t kOutBufferSize = 524288;
inline constexpr uint32_t kMaxMembers = 2147483647;
inline constexpr uint32_t kMemberNameChars = 260;  // extraction's name buffer, terminator included
// The headerCodePage value for UTF-8 TAR names; any other value means Latin-1.
inline constexpr uint32_t kCodePageUtf8 = 65001;

struct ProgressBlock;
struct ArchiveContext;

using ProgressCallback = void (*)(const ProgressBlock* block);
using MemberCallback = uint32_t (*)(ArchiveContext* context);

struct ProgressBlock {
  int64_t totalBytes;
  double totalMiB;
  uint64_t doneBytes;
  double doneMiB;
  double outMiB;
  double fraction;
  uint32_t lastTick;
  uint32_t pausedMs;
  double elapsedSec;
  double remainingSec;
  double inRate;
  double outRate;
  ProgressCallback callback;
  uint64_t userValue;
};

// Per-format operations the core dispatches through; filled in formats/, above core/, zip/
// and gz/, so that the core never includes the ZIP and GZ code. An absent entry does nothing.
struct FormatOps {
  ResultCode (*list)(ArchiveContext* context);
  ResultCode (*run)(ArchiveContext* context, uint32_t testFlag);
};

struct ArchiveContext {
  ResultCode result;
  std::atomic<uint32_t> jobState;
  ProgressBlock progress;
  const char16_t* archivePath;
  char16_t* memberName;
  uint8_t* password;
  uint32_t headerCodePage;
  uint64_t* memberOffsets;
  uint32_t memberOffsetCapacity;
  // Nonzero while one progress run spans a whole folder add, so that each appended file
  // continues it instead of starting its own.
  uint32_t progressSpansFolder;
  // The viewer's stored size of the member as the listing found it, for a streamed ZIP
  // member whose local header leaves the size out.
  int64_t listedStoredSize;
  MemberCallback onMember;
  ProgressCallback onProgress;
  void* owner;
  uint64_t progressUser;
  uint32_t memberIndex;
  EntryRecord entry;
  uint32_t openMode;
  FormatKind format;
  uint32_t zipKeys[3];
  uint32_t memberCount;
  uint64_t appendOffset;
  uint64_t fileSize;
  // The file's length at the revert point (opened, or cut by a delete): a revert gives it back.
  uint64_t revertSize;
  int64_t remaining;
  uint64_t position;
  uint32_t bytesRead;
  uint32_t bytesWritten;
  FileHandle archiveFile;
  FileHandle sourceFile;
  FileHandle outputFile;
  uint32_t appendPending;
  uint32_t dataChecksum;
  uint8_t* ioBuffer;
  uint8_t* outBuffer;
  // Table of kFormatKindCount entries indexed by FormatKind.
  const FormatOps* formats;
};

// The initial state the application sets once at start: handles invalid, UTF-8 TAR
// names, everything else zero. The offset table is the caller's to fill.
void InitArchiveContext(ArchiveContext* context, const FormatOps* formats);

inline ResultCode Fail(ArchiveContext* context, ResultCode code) {
  context->result = code;
  return code;
}
