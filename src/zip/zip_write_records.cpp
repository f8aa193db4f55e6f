#include "zip/zip_write_records.h"

#include <cstring>

#include "core/filetime.h"
#include "core/little_endian.h"
#include "zip/dos_time.h"
#include "zip/zip_header.h"

namespace {
constexpr uint16_t kExtendedTimeId = 0x5455;
constexpr uint8_t kExtendedTimeModified = 1;  // flag: the field holds the modification time
constexpr uint32_t kExtendedTimeSize = 5;
// Version 2.0 (Deflate), 1.0 (Store), 4.5 (ZIP64); made by MS-DOS (host 0), whose attribute
// byte every reader maps, Windows attributes in the low 16 bits.
constexpr uint16_t kVersionDeflate = 20;
constexpr uint16_t kVersionStore = 10;
constexpr uint16_t kVersionZip64 = 45;
constexpr uint32_t kCount16Full = 0xFFFF;
constexpr uint32_t kWrittenAttributes = 0x2037;  // read-only, hidden, system, folder, archive, not indexed

uint64_t Saturated32(uint64_t value) { return value >= kSize32Unknown ? kSize32Unknown : value; }

bool TimeFitsExtended(uint64_t modified) {
  const uint64_t seconds = modified / kFileTimeTicksPerSecond;
  return seconds >= kFileTimeUnixEpoch && seconds - kFileTimeUnixEpoch <= INT32_MAX;
}

// The central record's ZIP64 values: those of size, compressed size and offset that do not fit.
uint32_t CentralZip64Count(const ZipWrittenMember& m) {
  uint32_t count = 0;
  for (uint64_t value : {m.size, m.compressedSize, m.localOffset}) count += value >= kSize32Unknown ? 1 : 0;
  return count;
}

uint16_t VersionNeeded(const ZipWrittenMember& m) {
  if (ZipLocalNeedsZip64(m.size) || CentralZip64Count(m) != 0) return kVersionZip64;
  return m.method == kZipMethodStore ? kVersionStore : kVersionDeflate;
}

// Version needed, flags, method, time, date, CRC-32, the two sizes: the fields both headers share.
uint8_t* PutSharedFields(uint8_t* p, const ZipWrittenMember& m, uint64_t compressed32, uint64_t size32) {
  uint16_t date = 0, time = 0;
  UtcToDosTime(m.modified, &date, &time);
  p = PutLe16(p, VersionNeeded(m));
  p = PutLe16(p, kZipFlagUtf8);
  p = PutLe16(p, m.method);
  p = PutLe16(p, time);
  p = PutLe16(p, date);
  p = PutLe32(p, m.crc32);
  p = PutLe32(p, static_cast<uint32_t>(compressed32));
  return PutLe32(p, static_cast<uint32_t>(size32));
}

uint8_t* PutExtendedTime(uint8_t* p, const ZipWrittenMember& m) {
  if (!TimeFitsExtended(m.modified)) return p;
  p = PutLe16(p, kExtendedTimeId);
  p = PutLe16(p, kExtendedTimeSize);
  *p++ = kExtendedTimeModified;
  return PutLe32(p, static_cast<uint32_t>(m.modified / kFileTimeTicksPerSecond - kFileTimeUnixEpoch));
}

uint32_t ExtendedTimeLength(const ZipWrittenMember& m) { return TimeFitsExtended(m.modified) ? 4 + kExtendedTimeSize : 0; }
}  // namespace

bool ZipLocalNeedsZip64(uint64_t size) { return size >= kSize32Unknown; }

uint32_t BuildZipLocalHeader(const ZipWrittenMember& m, uint8_t* out) {
  const bool zip64 = ZipLocalNeedsZip64(m.size);
  const uint32_t extra = ExtendedTimeLength(m) + (zip64 ? 20 : 0);
  uint8_t* p = PutLe32(out, kZipLocalSignature);
  p = PutSharedFields(p, m, zip64 ? kSize32Unknown : m.compressedSize, zip64 ? kSize32Unknown : m.size);
  p = PutLe16(p, m.nameLength);
  p = PutLe16(p, extra);
  std::memcpy(p, m.name, m.nameLength);
  p = PutExtendedTime(p + m.nameLength, m);
  if (zip64) {
    p = PutLe16(p, kZip64FieldId);
    p = PutLe16(p, 16);
    p = PutLe64(PutLe64(p, m.size), m.compressedSize);
  }
  return static_cast<uint32_t>(p - out);
}

uint32_t BuildZipCentralRecord(const ZipWrittenMember& m, uint8_t* out) {
  const uint32_t wide = CentralZip64Count(m);
  const uint32_t extra = ExtendedTimeLength(m) + (wide != 0 ? 4 + 8 * wide : 0);
  uint8_t* p = PutLe32(out, kZipCentralSignature);
  p = PutLe16(p, VersionNeeded(m));  // made by: MS-DOS, the same version
  p = PutSharedFields(p, m, Saturated32(m.compressedSize), Saturated32(m.size));
  p = PutLe16(p, m.nameLength);
  p = PutLe16(p, extra);
  p = PutLe16(p, 0);  // comment
  p = PutLe16(p, 0);  // disk
  p = PutLe16(p, 0);  // internal attributes
  p = PutLe32(p, m.attributes & kWrittenAttributes);
  p = PutLe32(p, static_cast<uint32_t>(Saturated32(m.localOffset)));
  std::memcpy(p, m.name, m.nameLength);
  p = PutExtendedTime(p + m.nameLength, m);
  if (wide != 0) {
    p = PutLe16(p, kZip64FieldId);
    p = PutLe16(p, 8 * wide);
    // In the note's order, only the values that do not fit.
    for (uint64_t value : {m.size, m.compressedSize, m.localOffset})
      if (value >= kSize32Unknown) p = PutLe64(p, value);
  }
  return static_cast<uint32_t>(p - out);
}

uint32_t BuildZipEndRecords(uint64_t count, uint64_t size, uint64_t offset, uint8_t* out) {
  uint8_t* p = out;
  const bool zip64 = count >= kCount16Full || size >= kSize32Unknown || offset >= kSize32Unknown;
  if (zip64) {
    const uint64_t zip64End = offset + size;
    p = PutLe32(p, kZip64EndSignature);
    p = PutLe64(p, kZip64EndFixed - 12);  // the record's size behind this field
    p = PutLe16(p, kVersionZip64);
    p = PutLe16(p, kVersionZip64);
    p = PutLe32(p, 0);  // this disk
    p = PutLe32(p, 0);  // the directory's disk
    p = PutLe64(p, count);
    p = PutLe64(p, count);
    p = PutLe64(p, size);
    p = PutLe64(p, offset);
    p = PutLe32(p, kZip64LocatorSignature);
    p = PutLe32(p, 0);
    p = PutLe64(p, zip64End);
    p = PutLe32(p, 1);  // disks in all
  }
  p = PutLe32(p, kZipEndSignature);
  p = PutLe16(p, 0);
  p = PutLe16(p, 0);
  const uint32_t count16 = zip64 ? kCount16Full : static_cast<uint32_t>(count);
  p = PutLe16(p, count16);
  p = PutLe16(p, count16);
  p = PutLe32(p, static_cast<uint32_t>(zip64 ? kSize32Unknown : size));
  p = PutLe32(p, static_cast<uint32_t>(zip64 ? kSize32Unknown : offset));
  p = PutLe16(p, 0);  // comment
  return static_cast<uint32_t>(p - out);
}
