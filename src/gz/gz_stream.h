// The decoded bytes of a gzip file, every member one after another, as a byte source: how a
// TAR inside gzip is read, and how the viewer shows a gzip member's data. While it decodes
// forward the stream keeps resumption points about every 4 MiB of output
// (deflate/inflate_points.h), so a later read at an offset decodes from the nearest point
// before it, not from the start.
//
// Memory: a point holds the last 32 KiB of output before it, deflated when that is smaller
// (a third or less of it for text), and about 80 bytes. The points of a stream of N bytes
// take at most N / 4 MiB * 32 KiB (8 MB per GB decoded, for data that do not compress) and
// about 3 MB per GB for text; besides them the buffers (about 400 KiB) and, while a point is
// packed, the encoder's state (3.4 MB).
#pragma once

#include <cstdint>

#include "core/context.h"

extern const ByteSourceOps kGzStreamOps;

// A stream over the file (which stays the caller's), at offset 0; null when memory is short.
// Its failure is what stopped it before its clean end: damage (kResultFormat), a file cut
// short (kResultUnexpectedEnd), a trailer that does not match (kResultChecksum), a method
// other than Deflate (kResultUnsupportedMethod), header faults.
void* NewGzStream(FileHandle file, uint64_t fileSize);
// Makes a new stream of the archive file the context's source. kResultNoMemory.
ResultCode OpenGzSource(ArchiveContext* context);
// Whether members started from now on have their CRC-32 computed (off when made: a listing
// needs only the lengths of the trailers).
void CheckGzStreamCrc(void* stream, bool on);
// Decodes the rest of the stream and checks every trailer: kResultOk only when the whole
// stream was decoded from its start with the CRC on and every CRC-32 and length matched.
// kResultRead when the file cannot be read.
ResultCode CheckWholeGzStream(void* stream);
// How many resumption points the stream holds (for tests and the benchmarks).
uint32_t GzStreamPointCount(const void* stream);
