// One member in 512 bytes, laid out exactly as the QBX member header on disk, so that the
// QBX reader and writer move it in one piece. Every format fills the same fields.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

struct EntryRecord {
  uint32_t signature;
  uint32_t attributes;
  uint8_t name[256];
  int64_t packedSize;
  uint64_t modified;  // FILETIME: 100 ns units since 1601-01-01 UTC
  uint8_t formatVersion;
  uint8_t reserved1;
  uint16_t method;
  uint32_t mode;
  uint64_t size;
  uint32_t padding;
  uint8_t reserved2[208];
  uint32_t checksum;
};

// The record is the on-disk header byte for byte: pin the layout down.
static_assert(std::endian::native == std::endian::little, "EntryRecord is little-endian on disk");
static_assert(sizeof(EntryRecord) == 512);
static_assert(offsetof(EntryRecord, signature) == 0);
static_assert(offsetof(EntryRecord, attributes) == 4);
static_assert(offsetof(EntryRecord, name) == 8);
static_assert(offsetof(EntryRecord, packedSize) == 264);
static_assert(offsetof(EntryRecord, modified) == 272);
static_assert(offsetof(EntryRecord, formatVersion) == 280);
static_assert(offsetof(EntryRecord, reserved1) == 281);
static_assert(offsetof(EntryRecord, method) == 282);
static_assert(offsetof(EntryRecord, mode) == 284);
static_assert(offsetof(EntryRecord, size) == 288);
static_assert(offsetof(EntryRecord, padding) == 296);
static_assert(offsetof(EntryRecord, reserved2) == 300);
static_assert(offsetof(EntryRecord, checksum) == 508);

inline constexpr uint32_t kEntryRecordSize = 512;
inline constexpr uint32_t kEntryNameSize = 256;

// attributes: Windows file attribute bits (low 16, kAttr... in platform.h) and the ZIP
// reader's flags (high bits).
inline constexpr uint32_t kAttrZipCompressed = 0x800;
// A TAR hard link: a second name for a member before it (kAttrLink marks a symbolic link).
inline constexpr uint32_t kAttrHardLink = 0x1000;
inline constexpr uint32_t kAttrZipEncrypted = 0x4000;
inline constexpr uint32_t kAttrZipDescriptor = 0x10000000;
inline constexpr uint32_t kAttrZipSizesNotFound = 0x20000000;
inline constexpr uint32_t kAttrZipUtf8 = 0x40000000;
inline constexpr uint32_t kAttrZipMethodKnown = 0x80000000;
