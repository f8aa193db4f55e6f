// The decoded bytes of a gzip file, every member one after another, as the archive's source
// (ByteSourceOps): how a TAR inside gzip is read. While it decodes forward the source keeps
// resumption points about every kGzPointSpacing bytes of output, at block boundaries, so a
// later read at an offset decodes from the nearest point before it, not from the start.
//
// Memory: a point holds the last 32 KiB of output before it and about 60 bytes, so the
// points of a stream of N bytes take about N / 4 MiB * 32 KiB, 8 MB per GB decoded, plus
// the fixed buffers (about 400 KiB).
#pragma once

#include <cstdint>

#include "core/context.h"

inline constexpr uint64_t kGzPointSpacing = uint64_t{4} << 20;

// Makes the file's decoded stream the context's source, at offset 0. kResultNoMemory.
ResultCode OpenGzSource(ArchiveContext* context);
// What stopped the stream before its clean end, kResultOk while none did: damage
// (kResultFormat), a file cut short (kResultUnexpectedEnd), a trailer that does not match
// (kResultChecksum), a method other than Deflate (kResultUnsupportedMethod), header faults.
ResultCode GzSourceFailure(const ArchiveContext* context);
// Whether members started from now on have their CRC-32 computed (off when opened: a
// listing only needs the lengths of the trailers).
void CheckGzSourceCrc(ArchiveContext* context, bool on);
// Decodes the rest of the stream and checks every trailer; kResultOk only when the whole
// stream was decoded from its start with the CRC on and every CRC-32 and length matched.
ResultCode CheckWholeGzSource(ArchiveContext* context);
// How many resumption points the source holds (for tests and the benchmarks).
uint32_t GzSourcePointCount(const ArchiveContext* context);
