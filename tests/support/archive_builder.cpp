#include "support/archive_builder.h"

#include <cstdio>
#include <cstring>

#include "core/entry_record.h"
#include "core/qbx.h"
#include "core/tar.h"

namespace {
constexpr uint32_t kTarPrefixField = 345;

void PutOctal(uint8_t* field, uint32_t width, uint64_t value, bool spaces) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llo", static_cast<int>(width - 1),
                static_cast<unsigned long long>(value));
  std::memcpy(field, text, width - 1);
  field[width - 1] = 0;
  if (spaces)
    for (uint32_t i = 0; i + 2 < width && field[i] == '0'; ++i) field[i] = ' ';
}
}  // namespace

Bytes TarHeader(const TarHeaderFields& fields) {
  Bytes h(kTarBlockSize, 0);
  std::memcpy(h.data(), fields.name.data(), fields.name.size() < 100 ? fields.name.size() : 100);
  PutOctal(&h[kTarModeOffset], 8, fields.mode, fields.spacesInNumbers);
  PutOctal(&h[kTarUidOffset], 8, 0, false);
  PutOctal(&h[kTarGidOffset], 8, 0, false);
  PutOctal(&h[kTarSizeOffset], 12, fields.size, fields.spacesInNumbers);
  PutOctal(&h[kTarMtimeOffset], 12, fields.mtime, fields.spacesInNumbers);
  h[kTarTypeflagOffset] = static_cast<uint8_t>(fields.typeflag);
  std::memcpy(&h[kTarMagicOffset], fields.magic.data(), fields.magic.size() < 8 ? fields.magic.size() : 8);
  std::memcpy(&h[kTarPrefixField], fields.prefix.data(), fields.prefix.size() < 155 ? fields.prefix.size() : 155);
  uint32_t unsignedSum, signedSum;
  TarChecksum(h.data(), &unsignedSum, &signedSum);
  uint32_t sum = (fields.signedChecksum ? signedSum : unsignedSum) + fields.checksumDelta;
  PutOctal(&h[kTarChksumOffset], 8, sum, false);
  return h;
}

void RefreshTarChecksum(uint8_t* header) {
  uint32_t unsignedSum, signedSum;
  TarChecksum(header, &unsignedSum, &signedSum);
  PutOctal(header + kTarChksumOffset, 8, unsignedSum, false);
}

void AppendTarMember(Bytes& archive, const TarHeaderFields& fields, const Bytes& data) {
  Bytes h = TarHeader(fields);
  archive.insert(archive.end(), h.begin(), h.end());
  archive.insert(archive.end(), data.begin(), data.end());
  archive.resize(archive.size() + TarPadding(data.size()), 0);
}

Bytes TarMember(const TarHeaderFields& fields, const Bytes& data) {
  Bytes a;
  AppendTarMember(a, fields, data);
  return a;
}

Bytes GnuLongName(const std::string& name, char typeflag) {
  return TarMember({.name = "././@LongLink", .size = name.size() + 1, .typeflag = typeflag, .magic = std::string("ustar  \0", 8)},
                   Joined({BytesOf(name), {0}}));
}

std::string PaxRecord(const std::string& key, const std::string& value) {
  std::string body = " " + key + "=" + value + "\n";
  size_t length = body.size() + 1;
  while (std::to_string(length).size() + body.size() != length) ++length;
  return std::to_string(length) + body;
}

Bytes PaxHeader(const std::string& records, char typeflag, const std::string& name, int checksumDelta) {
  return TarMember({.name = name, .size = records.size(), .typeflag = typeflag, .checksumDelta = checksumDelta},
                   BytesOf(records));
}

void AppendZeroBlocks(Bytes& archive, uint32_t count) {
  archive.resize(archive.size() + count * kTarBlockSize, 0);
}

Bytes TarBytes(std::initializer_list<TarEntry> members) {
  Bytes a;
  for (const TarEntry& m : members) AppendTarMember(a, m.fields, m.data);
  AppendZeroBlocks(a, 2);
  return a;
}

Bytes QbxBytes(std::initializer_list<QbxMemberFields> members) {
  Bytes archive;
  for (const QbxMemberFields& fields : members) {
    EntryRecord e;
    std::memset(&e, 0, sizeof e);
    e.signature = kQbxSignature;
    e.attributes = fields.attributes;
    std::memcpy(e.name, fields.name.data(), fields.name.size() < 256 ? fields.name.size() : 256);
    e.packedSize = static_cast<int64_t>(fields.data.size());
    e.modified = fields.modified;
    e.formatVersion = fields.formatVersion;
    e.checksum = QbxChecksum(reinterpret_cast<const uint8_t*>(&e), kQbxHeaderChecksummed, 0);
    const auto* raw = reinterpret_cast<const uint8_t*>(&e);
    archive.insert(archive.end(), raw, raw + sizeof e);
    if (fields.data.empty()) continue;
    archive.insert(archive.end(), fields.data.begin(), fields.data.end());
    uint32_t sum = QbxChecksum(fields.data.data(), fields.data.size(), 0);
    for (int i = 0; i < 4; ++i) archive.push_back(static_cast<uint8_t>(sum >> (8 * i)));
  }
  return archive;
}
