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
// The name of pax extended headers as we write them; our earlier readers know it by name.
inline constexpr char kPaxHeaderName[] = "././@PaxHeader";
// POSIX magic (6 bytes) and version: prefix fields and pax members are POSIX.
inline constexpr uint32_t kTarMagicOffset = 257;
inline constexpr uint32_t kUstarMagicSize = 6;
inline constexpr uint8_t kUstarMagicVersion[8] = {'u', 's', 't', 'a', 'r', 0, '0', '0'};
inline constexpr uint32_t kTarMaxSparseMaterial = 65536;

// Field offsets and widths inside a header block.
inline constexpr uint32_t kTarModeOffset = 100;
inline constexpr uint32_t kTarUidOffset = 108;
inline constexpr uint32_t kTarGidOffset = 116;
inline constexpr uint32_t kTarSizeOffset = 124;
inline constexpr uint32_t kTarMtimeOffset = 136;
inline constexpr uint32_t kTarChksumOffset = 148;
inline constexpr uint32_t kTarTypeflagOffset = 156;
inline constexpr uint32_t kTarLinknameOffset = 157;
inline constexpr uint32_t kTarSparseExtendedOffset = 482;
inline constexpr uint32_t kTarSparseBlockExtendedOffset = 504;
inline constexpr uint32_t kTarShortField = 8;
inline constexpr uint32_t kTarLongField = 12;

// Where the member's long name lies in its header material, and which record gave it.
// Ranked: a sparse file's own name over a pax path over a GNU long name.
enum LongNameSource : uint32_t { kLongNameNone = 0, kLongNamePax = 1, kLongNameGnu = 2, kLongNameSparse = 3 };
struct TarLongName {
  uint32_t offset;
  uint32_t length;
  LongNameSource source;
};

// How a sparse member describes its map: GNU's old "S" header and extension blocks, pax
// records (formats 0.0 and 0.1), or a text map at the start of its data (format 1.0).
enum TarSparseKind : uint32_t { kSparseNone = 0, kSparseOldGnu, kSparsePaxRecords, kSparsePaxData };
struct TarSparse {
  TarSparseKind kind;
  int64_t realSize;
  uint32_t paxOffset, paxLength;  // the pax data holding the records
  uint32_t mapOffset;             // the map's first block in the material (old GNU, 1.0)
};

struct TarHeaderState {
  uint8_t header[kTarBlockSize];
  TarLongName longName;
  TarLongName longLink;  // a pax linkpath over a GNU long link name
  TarSparse sparse;
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

// A block that is a TAR header: not all zero, with a checksum that matches.
bool IsTarHeaderBlock(const uint8_t* block);
// Reads the header material of the member at the archive's file position into ioBuffer and
// fills entry and storedName. Returns kResultOk, kResultEndOfMembers (nothing more to
// read), kResultEmptyBlock,
// kResultRead, kResultChecksum, kResultUnexpectedEnd or kResultFormat.
ResultCode ReadTarHeader(ArchiveContext* context, TarHeaderState* state);
// Reads one 512-byte block behind the material read so far (which stays in ioBuffer).
ResultCode ReadMaterialBlock(ArchiveContext* context, uint8_t* buffer, TarHeaderState* state);

// One pax record "LENGTH KEY=VALUE\n" of extended data, as key and value.
struct PaxField {
  const uint8_t* key;
  const uint8_t* keyEnd;
  const uint8_t* value;
  const uint8_t* valueEnd;  // before the closing line feed
};
// The record at *at (moved behind it); false at the end or at a malformed record.
bool NextPaxRecord(const uint8_t** at, const uint8_t* end, PaxField* record);
bool PaxKeyIs(const PaxField& record, const char* name);
// The value's leading decimal digits (at most 15).
uint64_t PaxDecimal(const PaxField& record);

// Reads the sparse map of the member just read (format by state->sparse) into the
// context's sparseMap, reading a format 1.0 map from the data into the material. Sets the
// entry's size to the file's real size and packedSize and padding to the stored data.
// kResultFormat for a map that does not add up, kResultNoMemory without room for one.
ResultCode ReadTarSparseMap(ArchiveContext* context, TarHeaderState* state);
// Writes the stored stretches of a sparse member where the map puts them, holes between.
ResultCode CopySparseTarData(ArchiveContext* context);
// The listing walk of OpenArchive.
ResultCode ListTar(ArchiveContext* context);
