// The chunk loop that drives a decoder over one ZIP or GZ member's compressed data.
#pragma once

#include <cstdint>

#include "core/context.h"
#include "zip/inflate.h"

// Reads context->remaining bytes from archiveFile (positioned at the data) in chunks of the
// I/O buffer, decrypts them with zipKeys when `decrypt` is set, decodes them with `decoder`
// into outBuffer (which must exist), writes the output to outputFile when it is valid and
// keeps its CRC-32 in dataChecksum. A null decoder copies the data as stored.
// *outputTotal gets the bytes produced. Results: 7 no memory, 15 read failure, 23 short
// read, 17 write failure, 24 invalid or incomplete stream (35 when decrypting), 1 cancel.
ResultCode DecodeMemberData(ArchiveContext* context, InflateFunction decoder, bool decrypt,
                            uint64_t* outputTotal);

// The same loop for data whose compressed length only the stream itself tells (a gzip
// member, followed by its trailer): reads at most context->remaining bytes but stops in the
// chunk where the stream ends, and *unused gets the bytes read behind that end, so the file
// position is that far past it. Data that run out before the stream ends give 24, unless
// there were none at all.
ResultCode DecodeStreamData(ArchiveContext* context, InflateFunction decoder,
                            uint64_t* outputTotal, uint32_t* unused);
