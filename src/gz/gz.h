// The gzip format (RFC 1952), shown as an archive of one member.
#pragma once

#include <cstdint>

#include "core/context.h"

inline constexpr uint16_t kGzMagic = 0x8B1F;  // bytes 1F 8B
inline constexpr uint8_t kGzMethodDeflate = 8;
inline constexpr uint32_t kGzTrailerSize = 8;  // CRC-32 and length of the data
inline constexpr uint16_t kGzMethodUnknown = 256;  // no ZIP method has it
inline constexpr uint32_t kGzDefaultNameSize = 1024;

struct GzHeader {
  uint16_t magic;
  uint8_t compressionMethod;
  uint8_t headerFlags;
  uint32_t modificationTime;  // seconds since 1970 UTC
  uint8_t extraFlags;
  uint8_t operatingSystem;
  uint16_t headerCrc;
  uint32_t extraLength;
  uint32_t nameStart;      // where the name begins in the header buffer
  uint32_t nameLength;     // with the terminating zero
  uint32_t commentLength;  // with the terminating zero
  uint64_t dataOffset;     // the first compressed byte
  uint64_t compressedSize; // trailerOffset - dataOffset; 0 when no trailer fits
  uint64_t trailerOffset;  // file size - 8
  uint32_t trailerCrc;
  uint32_t trailerSize;
};

// Reads and checks the gzip header at the file's position and fills header and the
// member's entry fields (not the fallback name); the sizes come from the file's last 8
// bytes. Leaves the file at dataOffset. buffer holds kIoBufferSize bytes.
// kResultNotArchive not gzip; kResultFormat reserved flags or an unterminated name or
// comment; kResultChecksum header CRC; kResultUnexpectedEnd the file ends inside the header
// or the trailer; kResultRead read failure.
ResultCode ReadGzHeader(FileHandle file, GzHeader* header, EntryRecord* entry, uint8_t* buffer,
                        uint64_t fileSize);

// The CRC-32 and length (modulo 4 GiB) in the file's last 8 bytes: the trailer of the last
// gzip member. kResultUnexpectedEnd when the file is shorter; kResultRead read failure.
ResultCode ReadGzTrailer(FileHandle file, uint64_t fileSize, uint32_t* crc, uint32_t* size);

// The member name for a header without one, from the archive's file name: the extension
// dropped (".tgz" becomes ".tar"), "file" when nothing is left. Writes UTF-8 and a zero
// into buffer (kGzDefaultNameSize bytes) and returns the length.
uint32_t GzDefaultName(const char16_t* archivePath, uint8_t* buffer);

// Reads the header at the file's start into header and the context's entry, with the
// fallback name when the header has none. Shared by the listing and the walk.
ResultCode ReadGzMemberHeader(ArchiveContext* context, GzHeader* header);

// Lists the file as one member, or as the TAR inside it (the format becomes kFormatTarGz)
// when its decoded data begin with a TAR header and openOuter is not set.
ResultCode ListGz(ArchiveContext* context);
// Makes the decoded stream the source and checks that it begins with a TAR header; false,
// with no source left, when it does not or openOuter is set.
bool OpenTarInsideGz(ArchiveContext* context);
// The listing and the walk of a TAR inside gzip, read-only.
ResultCode ListTarGz(ArchiveContext* context);
ResultCode RunTarGz(ArchiveContext* context, uint32_t testFlag);
// Tests (testFlag 1) or extracts the member when the member callback accepts it.
ResultCode RunGz(ArchiveContext* context, uint32_t testFlag);
// Decodes the data at the file's position, member after member of a concatenated file,
// writing to outputFile when valid and checking each member's trailer.
ResultCode DecodeGzMember(ArchiveContext* context);
