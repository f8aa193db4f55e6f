// A ZIP member's data are deflated in pieces (DeflatePiece), each with the 32 KiB before it
// as history. The output does not depend on how many threads encode the pieces, so a ZIP
// comes out the same on any machine, and a large member uses every core. A first piece that
// does not get smaller says the data do not compress: the member is then stored as it is
// read, so that a large media file or archive is not read twice.
#pragma once

#include "core/context.h"
#include "deflate/deflate_encode.h"

inline constexpr uint32_t kZipPieceBytes = 1u << 20;

// What became of a member's data so far.
struct DeflateRun {
  uint64_t size;     // the source's
  uint64_t read;
  uint64_t written;  // compressed bytes in the archive
  uint32_t crc;
  bool stored;       // written as they are (the first piece did not get smaller)
  bool abandoned;    // the Deflate data would reach the source's size: nothing more written
};

// Reads the open source (context->sourceFile) to its end, folding it into the CRC-32, and
// writes its pieces' output at the archive's position, encoded on context->pieceWorkers
// threads when the source spans several pieces, or the source as it is (run->stored).
// Abandons the Deflate data the moment they would reach the source's size; the caller then
// stores the source from its start. A source that is not run->size bytes long fails with
// kResultChecksum: it changed since its size was taken.
ResultCode DeflateSourceInPieces(ArchiveContext* context, DeflateLevel level, DeflateRun* run);

// Deflates a source held whole into output (room bytes) as DeflateSourceInPieces would;
// kDeflateNoProgress when the data would not fit or the first piece does not get smaller
// (the member is stored), kDeflateBadCall on a cancel (looked at between pieces).
DeflateResult DeflateWholeInPieces(DeflateLevel level, const uint8_t* source, uint64_t size, uint8_t* output,
                                   uint64_t room, uint64_t* written, const std::atomic<uint32_t>* jobState);
