// Appending files at the end of an archive (QBX, TAR, ZIP through its steps in zip/), and
// cutting additions away again.
#pragma once

#include "core/context.h"

inline constexpr uint64_t kMinFreeSpaceLeft = 1048576;
inline constexpr uint64_t kMaxSourceSize = uint64_t{1} << 48;
inline constexpr uint64_t kMaxArchiveSize = uint64_t{1} << 60;
inline constexpr uint64_t kMaxTarMemberSize = uint64_t{1} << 33;

// The gathered write of a small member: header, data, padding and end when they fit. A
// source gathered is smaller than one read block, so a read that fills the block has grown.
inline constexpr uint32_t kWriteStageSize = 65536;
static_assert(kWriteStageSize < kIoBufferSize);

ResultCode AppendFile(ArchiveContext* context, const char16_t* sourcePath, const char16_t* storedName);
// Cuts the archive at offset and gives it its end again: a TAR gets zero blocks up to
// size (its two end blocks at least), as many as it had behind its last member; a ZIP the
// central directory of its first memberCount members and its end record. Keeps the result
// that was there.
ResultCode TruncateArchive(ArchiveContext* context, uint32_t memberCount, uint64_t offset, uint64_t size);
// An add of many files (a folder): BeginAppendBatch before the first, EndAppendBatch after
// the last, whatever happened in between (it first appends what append_ahead.h queued). For a format whose end grows with its members,
// writing it behind every member would cost the square of their number; within the batch
// the end is written once, by EndAppendBatch. Should that fail, the batch's members are cut
// away and the archive gets back the end it had (kResultWrite or kResultRead stays the result).
void BeginAppendBatch(ArchiveContext* context);
ResultCode EndAppendBatch(ArchiveContext* context);
// Cuts away everything added since the archive was opened with that count and end,
// restoring the length it had then (revertSize).
ResultCode RevertAdditions(ArchiveContext* context, uint32_t openMemberCount, uint64_t openEndOffset);

// The header material of one appended member: a TAR member whose name needs a pax record
// takes the record's header, its data and its own header.
inline constexpr uint32_t kMaxAppendHeader = 2 * 512 + ((kMaxNameBytes + 32 + 511) / 512) * 512;

// What differs between the formats when a member is appended; AppendMember does the rest.
struct AppendSteps {
  // Fills the member's header material (at most kMaxAppendHeader bytes, zero when it
  // comes) from entry, memberName and the source size; returns its length.
  uint32_t (*buildHeader)(ArchiveContext* context, uint8_t* header, uint64_t size);
  // Copies the source behind the header and closes its data (padding, checksum);
  // *stored gets the bytes written behind the header. The file is left behind them.
  ResultCode (*writeData)(ArchiveContext* context, uint64_t size, uint64_t* stored);
  // Writes the archive's end at the file's position, offset, behind its first memberCount
  // members (reaching at least size where the format keeps what padding it had); *end gets
  // the file's length behind it.
  ResultCode (*writeEnd)(ArchiveContext* context, uint32_t memberCount, uint64_t offset, uint64_t size,
                         uint64_t* end);
  // How many bytes writeEnd writes behind the first memberCount members at offset, size 0.
  uint64_t (*endLength)(const ArchiveContext* context, uint32_t memberCount, uint64_t offset);
  uint64_t maxSize;  // the largest source it stores; larger ones end in kResultLimit
  // The end grows with the members (a ZIP's central directory): within a batch it is
  // written once, behind the last member, not again behind each.
  bool endOncePerBatch = false;
  // Makes a source's data ready on a worker thread (core/append_ahead.h), without the
  // context; buildHeader and writeData then take them from context->prepared, and write them
  // forward: the header they begin with is final. Null: nothing is prepared.
  void (*prepare)(const char16_t* sourcePath, uint32_t compressionLevel, const std::atomic<uint32_t>* jobState,
                  PreparedData* out) = nullptr;
  // The steps only write forward (no seek between header and end), so a small member may be
  // gathered and written in one go: one system call instead of one per part.
  bool gathersSmallMembers = false;
};
extern const AppendSteps kQbxAppendSteps;
extern const AppendSteps kTarAppendSteps;

// The format's steps, null when it is only read.
const AppendSteps* AppendStepsOf(const ArchiveContext* context);

// Shared by the two format halves: a failed append stops here, undone by AppendFile.
ResultCode WriteArchive(ArchiveContext* context, const void* data, uint32_t count);
ResultCode ReadSource(ArchiveContext* context);
