// The records Quillbox writes into a ZIP file: a member's local header and its central
// directory record, and the end records behind the directory. ZIP64 fields appear exactly
// where a size, an offset or the count does not fit its field.
#pragma once

#include <cstdint>

#include "core/context.h"

// A member as it is written.
struct ZipWrittenMember {
  const uint8_t* name;  // UTF-8 (general purpose flag bit 11)
  uint32_t nameLength;
  uint16_t method;      // kZipMethodStore or kZipMethodDeflate
  uint32_t crc32;
  uint64_t compressedSize;
  uint64_t size;
  uint64_t modified;    // FILETIME, UTC
  uint32_t attributes;  // Windows attribute bits, kept in the external attributes
  uint64_t localOffset;
};

inline constexpr uint32_t kZipLocalFixed = 30;
inline constexpr uint32_t kZipCentralFixed = 46;
inline constexpr uint32_t kZipEndFixed = 22;
inline constexpr uint32_t kZip64EndFixed = 56;
inline constexpr uint32_t kZip64LocatorSize = 20;
// The extra fields we write: the extended timestamp (9 bytes) and a ZIP64 record of at most
// three values (28).
inline constexpr uint32_t kMaxZipWrittenExtra = 9 + 28;
inline constexpr uint32_t kMaxZipCentralRecord = kZipCentralFixed + kMaxNameBytes + kMaxZipWrittenExtra;
inline constexpr uint32_t kMaxZipEndRecords = kZip64EndFixed + kZip64LocatorSize + kZipEndFixed;

// Whether the local header carries both sizes in a ZIP64 record: decided by the source's
// size before its data are written (a member is never stored larger than its source).
bool ZipLocalNeedsZip64(uint64_t size);
// The local header with name and extra field; returns its length. Its length depends only
// on the name, the time and the size, so a header written with placeholders is patched in
// place once the data are known.
uint32_t BuildZipLocalHeader(const ZipWrittenMember& member, uint8_t* out);
// The central directory record (at most kMaxZipCentralRecord bytes); returns its length.
uint32_t BuildZipCentralRecord(const ZipWrittenMember& member, uint8_t* out);
// The end of the archive behind a directory of count records, size bytes, at offset: the
// end record, with the ZIP64 end record and its locator in front when a value does not fit.
// Returns the length (at most kMaxZipEndRecords).
uint32_t BuildZipEndRecords(uint64_t count, uint64_t size, uint64_t offset, uint8_t* out);
