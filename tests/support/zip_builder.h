// ZIP and gzip files built byte by byte inside the tests, quirks included.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "support/test_files.h"

enum class Descriptor { None, Plain, Signed, Zip64Plain, Zip64Signed };

struct ZipEntryFields {
  std::string name;
  Bytes data;  // the stored bytes: compressed and encrypted as the case wants
  uint16_t method = 0;
  uint16_t flags = 0;
  uint32_t crc = 0;
  uint64_t size = 0;  // uncompressed
  uint16_t dosTime = 0x28A4;  // 05:05:08
  uint16_t dosDate = 0x5264;  // 2021-03-04
  Bytes extra;
  Descriptor descriptor = Descriptor::None;
  // The header's size fields; by default the real sizes, or 0 with a descriptor.
  bool headerSizesKnown = true;
  uint32_t headerCompressed32 = 0, headerSize32 = 0;
  bool overrideHeaderSizes = false;
};

// A member holding content stored (method 0) or as a stored-block Deflate stream (8).
ZipEntryFields StoredEntry(const std::string& name, const Bytes& content);
ZipEntryFields DeflatedEntry(const std::string& name, const Bytes& content);
// Sizes follow the data in a descriptor of the given kind; ZIP64 kinds also get the
// ZIP64 record with both header sizes 0xFFFFFFFF, as Info-ZIP writes from a pipe.
ZipEntryFields Streamed(ZipEntryFields fields, Descriptor kind);
// ZipCrypto with the password: the 12-byte header in front, the flag set.
ZipEntryFields Encrypted(ZipEntryFields fields, const std::string& password);
// The entries one after another, then (unless told not to) a central directory for them.
Bytes ZipArchive(const std::vector<ZipEntryFields>& entries, bool directory = true);

// How ZipWithDirectory lays the archive out around its entries.
struct ZipLayout {
  Bytes stub = {};           // bytes in front of the archive, as a program a ZIP is appended to
  bool stubCounted = true;   // the offsets count the stub in (as zip -A leaves them)
  std::vector<Bytes> gaps = {};  // bytes in front of entry i, behind the stub
  bool zip64 = false;        // ZIP64 fields in the central headers, a ZIP64 end record and locator
  std::vector<size_t> order = {};  // the entries in directory order; empty: file order
  std::vector<std::pair<size_t, int64_t>> offsetErrors = {};  // entry, amount its offset is off by
};
// The entries laid out as told, then a central directory with their true sizes, CRC-32s and
// offsets, and the end record.
Bytes ZipWithDirectory(const std::vector<ZipEntryFields>& entries, const ZipLayout& layout);
Bytes Le32Bytes(uint32_t value);
// A ZIP64 extended information record with the two sizes.
Bytes Zip64Record(uint64_t size, uint64_t compressed);

struct GzFields {
  Bytes content = {};
  std::string name = "";     // FNAME when not empty
  std::string comment = "";  // FCOMMENT when not empty
  Bytes extra = {};          // FEXTRA when not empty
  uint8_t method = 8;
  uint8_t extraFlags = 0;  // added to FLG, for reserved bits
  uint32_t mtime = 1614834368;
  bool headerCrc = false;
  int headerCrcDelta = 0;
  uint32_t crcDelta = 0;   // added to the trailer's CRC-32
  uint32_t sizeDelta = 0;  // added to the trailer's ISIZE
};
// Header, a stored-block Deflate stream of the content and the trailer.
Bytes GzMember(const GzFields& fields);
