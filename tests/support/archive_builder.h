// Builds TAR and QBX archives byte by byte inside the tests, quirks included.
#pragma once

#include <cstdint>
#include <string>

#include "support/test_files.h"

// One TAR header block with the fields a test cares about; the rest zero.
struct TarHeaderFields {
  std::string name;
  uint64_t size = 0;
  uint64_t mtime = 1600000000;
  uint32_t mode = 0644;
  char typeflag = '0';
  bool signedChecksum = false;   // old tars summed bytes as signed values
  bool spacesInNumbers = false;  // "   644 " instead of "0000644"
  int checksumDelta = 0;         // added to the stored checksum to damage it
  std::string magic = "";        // magic and version bytes, up to 8: "ustar" "\0" "00" is POSIX
  std::string prefix = "";       // the POSIX prefix field (bytes 345 on)
};

Bytes TarHeader(const TarHeaderFields& fields);
// Stores the unsigned checksum of a header a test has changed by hand.
void RefreshTarChecksum(uint8_t* header);
// Header, data and padding to the next block.
void AppendTarMember(Bytes& archive, const TarHeaderFields& fields, const Bytes& data);
Bytes TarMember(const TarHeaderFields& fields, const Bytes& data = {});
// A pax extended header ("x") carrying the given records text, then nothing else.
Bytes PaxHeader(const std::string& records, char typeflag = 'x', const std::string& name = "././@PaxHeader",
                int checksumDelta = 0);
// A GNU long name ('L') or long link name ('K') record: the name with its terminator as data.
Bytes GnuLongName(const std::string& name, char typeflag = 'L');
// A pax record "LENGTH key=value\n" with its length computed.
std::string PaxRecord(const std::string& key, const std::string& value);
void AppendZeroBlocks(Bytes& archive, uint32_t count);
// Members one after another, then the two end blocks.
struct TarEntry { TarHeaderFields fields; Bytes data; };
Bytes TarBytes(std::initializer_list<TarEntry> members);

// One QBX member: header (checksummed), data and data checksum.
struct QbxMemberFields {
  std::string name;
  Bytes data;
  uint64_t modified = 132000000000000000ULL;
  uint32_t attributes = 0x20;
  uint8_t formatVersion = 0;
};
Bytes QbxBytes(std::initializer_list<QbxMemberFields> members);
