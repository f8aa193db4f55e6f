// QBX, our own container: 512-byte member headers (the EntryRecord), data, data checksum.
#pragma once

#include <cstdint>

#include "core/context.h"

inline constexpr uint32_t kQbxSignature = 0x4B514258;  // "XBQK" as little-endian bytes
inline constexpr uint32_t kQbxChecksumSize = 4;
inline constexpr uint32_t kQbxHeaderChecksummed = 508;
inline constexpr int64_t kQbxMaxMemberSize = int64_t{1} << 48;
inline constexpr int64_t kQbxMaxArchiveSize = int64_t{1} << 60;

// h = rotate-left-1(h + b) for each byte, from start.
uint32_t QbxChecksum(const uint8_t* bytes, uint64_t count, uint32_t start);
// True when the record is a readable header: magic, header checksum and version 0.
bool IsValidQbxHeader(const EntryRecord* entry);
// Reads the member header at the archive's file position into entry and storedName.
// Returns kResultOk, kResultEndOfMembers (nothing more to read), kResultRead,
// kResultUnexpectedEnd (a header cut short) or kResultFormat (damage).
ResultCode ReadQbxHeader(ArchiveContext* context);
// The listing walk of OpenArchive.
ResultCode ListQbx(ArchiveContext* context);
