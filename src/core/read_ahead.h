// Reads of the archive during the TAR and QBX walks go through a read-ahead buffer, so that
// a header or a skip over small data costs no system call of its own. While it is on,
// nothing else may read or move the archive file; off, every call goes straight below.
#pragma once

#include <cstdint>

#include "core/context.h"

inline constexpr uint32_t kReadAheadSize = 65536;
// A decoding source costs per call and per window copy: it is asked for more at a time.
inline constexpr uint32_t kSourceReadAheadSize = 524288;

// Turns the buffer on with the file at offset. kResultNoMemory when it cannot be made.
ResultCode BeginReadAhead(ArchiveContext* context, uint64_t offset);
// Turns it off and leaves the file where the walk's reads had got to.
void EndReadAhead(ArchiveContext* context);
// As FileRead and FileSeek (from the current position) on the archive: the file, or the
// source over it (ByteSourceOps) when there is one. Used with the buffer off as well.
bool ArchiveRead(ArchiveContext* context, void* out, uint32_t count, uint32_t* got);
bool ArchiveSkip(ArchiveContext* context, int64_t distance, uint64_t* position);
// To an offset from the archive's start.
bool ArchiveSeek(ArchiveContext* context, uint64_t offset);
