// TAR headers: the 512-byte block, its numbers and checksum, extended headers, listing.
#pragma once

#include <cstdint>

#include "core/context.h"

inline constexpr uint32_t kTarBlockSize = 512;
inline constexpr uint32_t kTarNameSize = 100;
// Two zero blocks end every archive we write.
inline constexpr uint32_t kTarEndMarkerSize = 2 * kTarBlockSize;
inline constexpr uint8_t kTarEndMarker[kTarEndMarkerSize] = {};
inline constexpr uint32_t kTarMaxExtendedLength = 196608;
inline constexpr uint32_t kTarMaxSparseMaterial = 65536;

// Field offsets and widths inside a header block.
inline constexpr uint32_t kTarModeOffset = 100;
inline constexpr uint32_t kTarUidOffset = 108;
inline constexpr uint32_t kTarGidOffset = 116;
inline constexpr uint32_t kTarSizeOffset = 124;
inline constexpr uint32_t kTarMtimeOffset = 136;
inline constexpr uint32_t kTarChksumOffset = 148;
inline constexpr uint32_t kTarTypeflagOffset = 156;
inline constexpr uint32_t kTarSparseExtendedOffset = 482;
inline constexpr uint32_t kTarSparseBlockExtendedOffset = 504;
inline constexpr uint32_t kTarShortField = 8;
inline constexpr uint32_t kTarLongField = 12;

struct TarHeaderState {
  uint8_t header[kTarBlockSize];
  uint32_t extendedPadding;
  uint32_t headerOffset;
  uint32_t consumed;
  int64_t extendedSize;
  uint64_t extendedMtime;
};

// Sums of the header with the chksum field counted as spaces, bytes taken as unsigned and
// as signed values; old tars wrote the signed one.
void TarChecksum(const uint8_t* header, uint32_t* unsignedSum, uint32_t* signedSum);
// Octal text over the full width; every byte that is not 0 to 7 is skipped.
uint64_t ReadOctal(const uint8_t* field, uint32_t width);
// Writes value as exactly digits octal digits and a zero byte.
void WriteOctal(uint8_t* field, uint32_t digits, uint64_t value);
// Computes the unsigned checksum of the header and stores it as 7 digits and a zero byte.
uint32_t StoreTarChecksum(uint8_t* header);
// (-size) mod 512: the zero bytes behind data up to the next block.
inline uint32_t TarPadding(uint64_t size) {
  return static_cast<uint32_t>((kTarBlockSize - (size % kTarBlockSize)) % kTarBlockSize);
}

// Reads the header material of the member at the file position into buffer (at least
// 256 KiB) and fills entry. Returns kResultOk, kResultEndOfMembers, kResultEmptyBlock,
// kResultRead, kResultChecksum, kResultUnexpectedEnd or kResultFormat.
ResultCode ReadTarHeader(FileHandle file, TarHeaderState* state, EntryRecord* entry,
                         uint8_t* buffer);
// The listing walk of OpenArchive.
ResultCode ListTar(ArchiveContext* context);
