// One ZIP member's data as it extracts (Stored, Deflate, Deflate64, ZipCrypto decrypted), as
// a byte source for the viewer. Decoding forward keeps resumption points with the keys of
// the decryption, so paging deep into a large member decodes from the nearest point, not
// from the start. The stream ends where the data do, and also at damage or where a wrong
// password makes the data undecodable: the view shows what came before.
#pragma once

#include <cstdint>

#include "core/context.h"

extern const ByteSourceOps kZipMemberStreamOps;

// A stream over the stored data at dataOffset (behind any encryption header) of
// storedSize bytes; keys are the decryption keys there, null for a member not encrypted.
// Null when memory is short or the file cannot be positioned.
void* NewZipMemberStream(FileHandle file, uint64_t dataOffset, uint64_t storedSize, uint16_t method,
                         const uint32_t* keys);
