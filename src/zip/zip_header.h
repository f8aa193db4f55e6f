// Reading a ZIP file forward through its local file headers, as the ZIP application note
// lays them out; zip_directory.h reaches the members the walk cannot.
#pragma once

#include <cstdint>

#include "core/context.h"

inline constexpr uint32_t kZipSignatureSize = 4;
inline constexpr uint32_t kZipLocalSignature = 0x04034B50;
inline constexpr uint32_t kZipCentralSignature = 0x02014B50;
inline constexpr uint32_t kZipArchiveExtraSignature = 0x08064B50;
inline constexpr uint32_t kZipEndSignature = 0x06054B50;
inline constexpr uint32_t kZip64EndSignature = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
inline constexpr uint32_t kZipDigitalSignature = 0x05054B50;

// General purpose flag bits.
inline constexpr uint16_t kZipFlagEncrypted = 0x0001;
inline constexpr uint16_t kZipFlagDescriptor = 0x0008;
inline constexpr uint16_t kZipFlagStrongEncryption = 0x0040;
inline constexpr uint16_t kZipFlagUtf8 = 0x0800;

inline constexpr uint16_t kZipMethodStore = 0;
inline constexpr uint16_t kZipMethodDeflate = 8;
inline constexpr uint16_t kZipMethodDeflate64 = 9;
inline constexpr uint16_t kZipMethodUnknown = 0xFFFF;  // strong encryption hides the method

// A 32-bit size or offset of this value defers to the ZIP64 extra field (id 1).
inline constexpr uint32_t kSize32Unknown = 0xFFFFFFFF;
inline constexpr uint16_t kZip64FieldId = 1;
// No file holds more: larger sizes could only wrap the walk's offsets around.
inline constexpr uint64_t kMaxZipSize = 0x7FFFFFFFFFFFFFFF;

struct ZipLocalHeader {
  uint32_t signature;
  uint16_t versionNeeded;
  uint16_t generalFlags;
  uint16_t method;
  uint16_t modTime;
  uint16_t modDate;
  uint32_t crc32;
  uint32_t compressedSize32;
  uint32_t uncompressedSize32;
  uint16_t nameLength;
  uint16_t extraLength;
  uint16_t headerBytes;  // 30, or 34 when a marker preceded the first header
  uint32_t memberIndex;  // set by the caller; names a member that has no name
  uint64_t uncompressedSize;
  uint64_t compressedSize;
  // The extra field holds a ZIP64 record: a data descriptor then carries 8-byte sizes.
  bool zip64;
};

// Bytes from the start of a local header to its member's data.
inline uint32_t ZipHeaderLength(const ZipLocalHeader& header) {
  return uint32_t{header.headerBytes} + header.nameLength + header.extraLength;
}

// Reads the local header at the file's position, with its name and extra field, into
// header and entry. kResultOk a member; kResultEndOfMembers the central directory or
// another closing record is reached; kResultRead read failure; kResultUnexpectedEnd the file
// ends inside the header; kResultFormat no local header there.
// The name goes to the context's storedName; ioBuffer holds the name and extra field.
// The file is left at the member's data.
ResultCode ReadZipLocalHeader(ArchiveContext* context, ZipLocalHeader* header);

// For a member whose sizes follow its data: finds the data descriptor behind the data and
// takes the CRC-32 and sizes from it (entry checksum, packedSize, size, padding = its
// length). On entry position is the data's offset and the file is there; on return position
// is the offset of the next header (or the end of the file). When no descriptor is found
// the entry gets kAttrZipSizesNotFound. With reportFlag set, progress follows the scan.
// kResultRead read failure, kResultCancelled cancel, else the context's result.
ResultCode FindDataDescriptor(ArchiveContext* context, const ZipLocalHeader& header,
                              uint32_t reportFlag);
