// The chunk loop that drives a decoder over one ZIP or GZ member's compressed data.
#pragma once

#include <cstdint>

#include "core/context.h"
#include "deflate/inflate.h"

// Turns each chunk of stored bytes into decoder input in place (a decryption), before any
// decoding; the context carries its keys.
using ChunkFilter = void (*)(ArchiveContext* context, uint8_t* bytes, uint32_t count);

// Reads context->remaining bytes from archiveFile (positioned at the data) in chunks of the
// I/O buffer, passes them through `filter` when it is set, decodes them with `decoder`
// into outBuffer (which must exist), writes the output to outputFile when it is valid and
// keeps its CRC-32 in dataChecksum. A null decoder copies the data as stored.
// *outputTotal gets the bytes produced; output beyond outputLimit stops the member before it
// is written. Results: kResultNoMemory, kResultRead, kResultUnexpectedEnd (short read),
// kResultWrite, kResultFormat for an invalid or incomplete stream or one that gives more
// than outputLimit (kResultPassword with a filter, where a wrong key is the likely cause),
// kResultCancelled.
inline constexpr uint64_t kNoOutputLimit = ~uint64_t{0};
ResultCode DecodeMemberData(ArchiveContext* context, InflateFunction decoder, ChunkFilter filter,
                            uint64_t outputLimit, uint64_t* outputTotal);

// The same loop for data whose compressed length only the stream itself tells (a gzip
// member, followed by its trailer): reads at most context->remaining bytes but stops in the
// chunk where the stream ends, and *unused gets the bytes read behind that end, so the file
// position is that far past it. Data that run out before the stream ends give kResultFormat, unless
// there were none at all.
ResultCode DecodeStreamData(ArchiveContext* context, InflateFunction decoder,
                            uint64_t* outputTotal, uint32_t* unused);

// A member's data decoded in one piece away from the archive (by a worker thread), to be
// delivered later by the walk as if it had decoded them itself.
struct DecodedData {
  const uint8_t* bytes;  // the output; null when it was only counted and checksummed
  uint64_t length;
  uint32_t checksum;  // CRC-32 of the output
  ResultCode result;  // what decoding ended with, as DecodeMemberData would say it
};
// Decodes `length` bytes of input (decrypted already; `decrypted` says whether they were,
// which turns a failure into kResultPassword as a filter does) with `decoder` (null: stored)
// into at most outputLimit bytes: into output (room for outputLimit + 1 bytes), or, when
// output is null, only counting and checksumming them. Touches no context: safe on any thread.
void DecodeWhole(const uint8_t* input, uint64_t length, InflateFunction decoder, bool decrypted,
                 uint64_t outputLimit, uint8_t* output, DecodedData* out);
// Ends a member whose data were decoded ahead as DecodeMemberData would have: writes the
// output to outputFile when it is valid (the output must then have been kept), sets
// dataChecksum and *outputTotal, counts inputLength bytes of input in the progress, and
// returns the decoding's result (or kResultWrite, kResultCancelled).
ResultCode DeliverDecodedData(ArchiveContext* context, const DecodedData* data, uint64_t inputLength,
                              uint64_t* outputTotal);
