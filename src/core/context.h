// The one working record of the archive core and the progress block it reports through.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/entry_record.h"
#include "core/result.h"
#include "platform/platform.h"

using FormatKind = uint32_t;
// kFormatTarGz: a TAR inside a gzip stream, read through the stream (never written).
enum : FormatKind {
  kFormatNone = 0,
  kFormatQbx = 1,
  kFormatTar = 2,
  kFormatZip = 3,
  kFormatGz = 4,
  kFormatTarGz = 5
};
inline constexpr uint32_t kFormatKindCount = 6;
// The formats whose members are TAR members, whatever carries them.
inline bool IsTarFormat(FormatKind format) { return format == kFormatTar || format == kFormatTarGz; }

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
// The longest member name kept whole, in bytes; a longer one is cut and marked as cut.
inline constexpr uint32_t kMaxNameBytes = 4096;
// A member name as wide text: the name, a "/" a directory may gain, and the terminator.
inline constexpr uint32_t kMemberNameChars = kMaxNameBytes + 2;
// The headerCodePage value for UTF-8 TAR names; any other value means Latin-1.
inline constexpr uint32_t kCodePageUtf8 = 65001;

// How a stored name's bytes are text.
enum NameEncoding : uint32_t { kNameUtf8 = 0, kNameLatin1 = 1, kNameOem = 2 };

// The whole name of the member in work, as its format stores it (the EntryRecord keeps only
// the first 256 bytes, its QBX field).
struct StoredName {
  uint8_t bytes[kMaxNameBytes + 1];  // zero after the last byte
  uint32_t length;
  NameEncoding encoding;
  uint32_t fillsField;  // the name fills a fixed field, so its writer may have cut it there
  uint32_t tooLong;     // the archive's name is longer than kMaxNameBytes: bytes is its start
};

// One stretch of data of a sparse TAR member: where it lies in the file it stands for.
struct SparseSegment {
  uint64_t offset;
  uint64_t length;
};
inline constexpr uint32_t kMaxSparseSegments = 65536;

struct ProgressBlock;
struct ArchiveContext;
struct CheckedFolder;

using ProgressCallback = void (*)(const ProgressBlock* block);
using MemberCallback = uint32_t (*)(ArchiveContext* context);
using SourceCallback = void (*)(ArchiveContext* context, const char16_t* sourcePath);
struct AppendAhead;
struct PreparedData;
struct DecodedData;

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

struct AppendSteps;  // core/append.h

// Per-format operations the core dispatches through; filled in formats/, above core/, zip/
// and gz/, so that the core never includes the ZIP and GZ code. An absent entry does nothing.
struct FormatOps {
  ResultCode (*list)(ArchiveContext* context);
  ResultCode (*run)(ArchiveContext* context, uint32_t testFlag);
  // Recognises the format in a file whose first bytes did not (ZIP: by its end records).
  bool (*recognize)(FileHandle file) = nullptr;
  // How a member is appended and the archive's end written; absent: the format is only read.
  const AppendSteps* append = nullptr;
  // Renames the member at the index in place to memberName (core/edit.h); absent: the
  // format's names never change.
  ResultCode (*rename)(ArchiveContext* context, uint32_t memberIndex) = nullptr;
};

// How hard a format that compresses new members tries (a ZIP's Deflate level).
enum : uint32_t { kCompressFast = 0, kCompressNormal = 1, kCompressBest = 2 };

// Records an archive keeps behind its members, one per member, that every append writes
// again behind the new member (a ZIP's central directory), held in memory from the listing
// on. Empty for the formats without them.
struct TailRecords {
  uint8_t* bytes;         // the records one after another
  uint64_t byteCapacity;
  uint64_t* ends;         // ends[i]: where record i ends in bytes
  uint32_t count;
  uint32_t endCapacity;
};

// Where the archive's bytes come from when they are not the file's own: the decoded stream
// of a compressed file (a .tar.gz). Offsets are offsets in that stream. Set by the format
// that wraps the archive and ended with it.
struct ByteSourceOps {
  // Reads up to count bytes at the stream's position; fewer only at its end or at damage.
  // False when the file cannot be read.
  bool (*read)(void* state, uint8_t* out, uint32_t count, uint32_t* got);
  // Moves to an offset of the stream (it may lie beyond the end: reads then give nothing).
  bool (*seek)(void* state, uint64_t offset);
  // How far into the file the source has read, for the progress of a listing.
  uint64_t (*fileOffset)(const void* state);
  // What stopped the stream before its end, kResultOk while nothing did.
  ResultCode (*failure)(const void* state);
  // Frees the state.
  void (*close)(void* state);
};

// A source and its state, for one of the context's uses.
struct ByteSource {
  const ByteSourceOps* ops;  // null: none
  void* state;
};
// Frees the source's state and leaves it empty.
inline void CloseByteSource(ByteSource* source) {
  if (source->ops != nullptr) source->ops->close(source->state);
  *source = {};
}

// The TAR and QBX walks' read-ahead buffer (core/read_ahead.h).
struct ReadAhead {
  uint8_t* data;       // size bytes, made on first use, freed with the archive
  uint32_t size;       // kReadAheadSize, or kSourceReadAheadSize under a source
  uint32_t begin;      // the next byte to hand out
  uint32_t end;        // behind the last byte read
  uint64_t endOffset;  // the file offset of data[end], which is the file's position
  bool on;
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
  StoredName storedName;
  // What a TAR link member names: a symbolic link's target, or the member a hard link
  // stands for. Empty for every other member.
  StoredName linkTarget;
  uint32_t openMode;
  FormatKind format;
  // Nonzero: a TAR inside gzip opens as the compressed file it is (one GZ member).
  uint32_t openOuter;
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
  // Set by an extraction (null otherwise): the folders it has made or checked (core/folders.h).
  CheckedFolder* checkedFolder;
  // The archive's own Zone.Identifier stream, given to every file extracted from it so that
  // Windows keeps warning about what came from the internet; null when it has none.
  const uint8_t* zoneMark;
  uint32_t zoneMarkLength;
  uint32_t appendPending;
  // An append batch (core/append.h): on, its end still to write, and where it began.
  struct {
    bool on;
    bool endPending;
    uint32_t startCount;
    uint64_t startOffset;
    uint64_t startSize;
    AppendAhead* ahead;  // the batch's workers (core/append_ahead.h), null without
    // The free space the volume last reported, when (TickCount), and what the batch has
    // appended since (core/append.cpp asks again only now and then).
    bool roomKnown;
    uint32_t roomTick;
    uint64_t roomFree;
    uint64_t roomSince;
  } appendBatch;
  // A small member's header, data and end gathered into one write (core/append.cpp).
  struct {
    uint8_t* data;  // kWriteStageSize bytes once first needed
    uint32_t used;
    bool on;
  } writeStage;
  // The data of the member being appended, made ready by a worker; null: read the source.
  const PreparedData* prepared;
  // The data of the member in work, decoded ahead by a worker; null: decode from the file.
  const DecodedData* decoded;
  // How many threads a test or extraction walk may decode members on (below 2: none).
  uint32_t walkWorkers;
  // Set before opening by a caller that keeps no rows and walks every member right after:
  // a format whose listing decodes the whole archive (a .tar.gz) then lists nothing and
  // leaves the members to that walk; walkSizeHint gets the bytes it will pass, or 0.
  uint32_t walkFollows;
  uint64_t walkSizeHint;
  // Called within a batch as each file's append begins (files may be queued before).
  SourceCallback onAppendStart;
  uint32_t dataChecksum;
  uint8_t* ioBuffer;
  ReadAhead readAhead;
  ByteSource source;         // none: the archive file itself
  uint64_t sourcePosition;   // the stream offset the source reads next
  // The viewer's decoded data of one member (a ZIP or GZ member), kept between pages.
  ByteSource viewSource;
  uint32_t viewSourceMember;
  // Set by the caller of a walk that need not see every member (null: every member): the
  // first member at or after index that it wants, memberCount when none. With the member
  // offsets of the listing, the walk goes straight there.
  uint32_t (*nextWanted)(ArchiveContext* context, uint32_t index);
  uint8_t* outBuffer;
  // The map of the sparse TAR member in work (kMaxSparseSegments entries, made when the
  // first sparse member is met); sparseCount 0 for every other member.
  SparseSegment* sparseMap;
  uint32_t sparseCount;
  // Table of kFormatKindCount entries indexed by FormatKind.
  const FormatOps* formats;
  // The records written behind the members (tail_records.h): a ZIP's central directory.
  TailRecords tailRecords;
  // kCompress...: the effort spent on each appended member of a compressing format.
  uint32_t compressionLevel;
  // How many threads a large member appended may be compressed on (below 2: none).
  uint32_t pieceWorkers;
};

// The initial state the application sets once at start: handles invalid, UTF-8 TAR
// names, everything else zero. The offset table is the caller's to fill.
void InitArchiveContext(ArchiveContext* context, const FormatOps* formats);

inline ResultCode Fail(ArchiveContext* context, ResultCode code) {
  context->result = code;
  return code;
}
