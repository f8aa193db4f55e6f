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
