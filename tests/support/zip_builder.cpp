#include "support/zip_builder.h"

#include "support/deflate_writer.h"
#include "deflate/crc32.h"
#include "zip/zip_crypto.h"

namespace {
void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

uint32_t Crc(const Bytes& b) { return Crc32Update(0, b.data(), b.size()); }

bool IsZip64(Descriptor d) { return d == Descriptor::Zip64Plain || d == Descriptor::Zip64Signed; }
}  // namespace

Bytes Le32Bytes(uint32_t value) {
  Bytes b;
  Put32(b, value);
  return b;
}

Bytes Le64Bytes(uint64_t value) {
  Bytes b = Le32Bytes(static_cast<uint32_t>(value));
  Append(b, Le32Bytes(static_cast<uint32_t>(value >> 32)));
  return b;
}

Bytes Zip64Record(uint64_t size, uint64_t compressed) {
  Bytes b;
  Put16(b, 1);
  Put16(b, 16);
  Append(b, Le64Bytes(size));
  Append(b, Le64Bytes(compressed));
  return b;
}

ZipEntryFields StoredEntry(const std::string& name, const Bytes& content) {
  ZipEntryFields s;
  s.name = name;
  s.data = content;
  s.crc = Crc(content);
  s.size = content.size();
  return s;
}

ZipEntryFields DeflatedEntry(const std::string& name, const Bytes& content) {
  ZipEntryFields s = StoredEntry(name, content);
  s.data = StoredStream(content);
  s.method = 8;
  return s;
}

ZipEntryFields Streamed(ZipEntryFields fields, Descriptor kind) {
  fields.descriptor = kind;
  fields.flags |= 0x0008;
  fields.headerSizesKnown = false;
  if (IsZip64(kind)) {
    fields.overrideHeaderSizes = true;
    fields.headerCompressed32 = fields.headerSize32 = 0xFFFFFFFF;
    Append(fields.extra, Zip64Record(0, 0));
  }
  return fields;
}

Bytes EncryptWithKeys(uint32_t keys[3], Bytes data) {
  for (uint8_t& x : data) {
    const uint32_t t = (keys[2] | 2) & 0xFFFF;
    const uint8_t plain = x;
    x ^= static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    ZipCryptoUpdateKeys(keys, plain);
  }
  return data;
}

ZipEntryFields Encrypted(ZipEntryFields fields, const std::string& password) {
  uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};
  for (char c : password) ZipCryptoUpdateKeys(keys, static_cast<uint8_t>(c));
  Bytes plain = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, static_cast<uint8_t>(fields.crc >> 24)};
  Append(plain, fields.data);
  fields.data = EncryptWithKeys(keys, plain);
  fields.flags |= 0x0001;
  return fields;
}

void AppendZipEntry(Bytes& archive, const ZipEntryFields& s) {
  const bool known = s.headerSizesKnown;
  Put32(archive, 0x04034B50);
  Put16(archive, 20);
  Put16(archive, s.flags);
  Put16(archive, s.method);
  Put16(archive, s.dosTime);
  Put16(archive, s.dosDate);
  Put32(archive, known ? s.crc : 0);
  Put32(archive, s.overrideHeaderSizes ? s.headerCompressed32 : known ? static_cast<uint32_t>(s.data.size()) : 0);
  Put32(archive, s.overrideHeaderSizes ? s.headerSize32 : known ? static_cast<uint32_t>(s.size) : 0);
  Put16(archive, static_cast<uint32_t>(s.name.size()));
  Put16(archive, static_cast<uint32_t>(s.extra.size()));
  Append(archive, Bytes(s.name.begin(), s.name.end()));
  Append(archive, s.extra);
  Append(archive, s.data);
  if (s.descriptor == Descriptor::None) return;
  if (s.descriptor == Descriptor::Signed || s.descriptor == Descriptor::Zip64Signed) Put32(archive, 0x08074B50);
  Put32(archive, s.crc);
  if (IsZip64(s.descriptor)) {
    Append(archive, Le64Bytes(s.data.size()));
    Append(archive, Le64Bytes(s.size));
  } else {
    Put32(archive, static_cast<uint32_t>(s.data.size()));
    Put32(archive, static_cast<uint32_t>(s.size));
  }
}

void AppendCentralDirectory(Bytes& archive, const std::vector<std::string>& names) {
  const uint32_t start = static_cast<uint32_t>(archive.size());
  for (const std::string& name : names) {
    Put32(archive, 0x02014B50);
    Append(archive, Bytes(24, 0));
    Put16(archive, static_cast<uint32_t>(name.size()));
    Append(archive, Bytes(16, 0));
    Append(archive, Bytes(name.begin(), name.end()));
  }
  const uint32_t size = static_cast<uint32_t>(archive.size()) - start;
  Put32(archive, 0x06054B50);
  Put32(archive, 0);
  Put16(archive, static_cast<uint32_t>(names.size()));
  Put16(archive, static_cast<uint32_t>(names.size()));
  Put32(archive, size);
  Put32(archive, start);
  Put16(archive, 0);
}

GzFields Gz(const Bytes& content, const std::string& name) {
  GzFields s;
  s.content = content;
  s.name = name;
  return s;
}

Bytes ZipArchive(const std::vector<ZipEntryFields>& entries, bool directory) {
  Bytes a;
  std::vector<std::string> names;
  for (const ZipEntryFields& e : entries) {
    AppendZipEntry(a, e);
    names.push_back(e.name);
  }
  if (directory) AppendCentralDirectory(a, names);
  return a;
}

Bytes GzMember(const GzFields& s) {
  Bytes b = {0x1F, 0x8B, s.method, 0};
  uint8_t flags = s.extraFlags;
  if (s.headerCrc) flags |= 0x02;
  if (!s.extra.empty()) flags |= 0x04;
  if (!s.name.empty()) flags |= 0x08;
  if (!s.comment.empty()) flags |= 0x10;
  b[3] = flags;
  Put32(b, s.mtime);
  b.push_back(0);
  b.push_back(3);
  if (!s.extra.empty()) {
    Put16(b, static_cast<uint32_t>(s.extra.size()));
    Append(b, s.extra);
  }
  if (!s.name.empty()) {
    Append(b, Bytes(s.name.begin(), s.name.end()));
    b.push_back(0);
  }
  if (!s.comment.empty()) {
    Append(b, Bytes(s.comment.begin(), s.comment.end()));
    b.push_back(0);
  }
  if (s.headerCrc) Put16(b, (Crc(b) + s.headerCrcDelta) & 0xFFFF);
  Append(b, StoredStream(s.content));
  Put32(b, Crc(s.content) + s.crcDelta);
  Put32(b, static_cast<uint32_t>(s.content.size()) + s.sizeDelta);
  return b;
}

namespace {
struct Placed {
  const ZipEntryFields* fields;
  uint64_t offset;  // as the directory gives it
};

void PutCentralHeader(Bytes& b, const Placed& p, bool zip64) {
  const ZipEntryFields& s = *p.fields;
  Bytes extra;
  if (zip64) {
    Put16(extra, 1);
    Put16(extra, 24);
    Append(extra, Le64Bytes(s.size));
    Append(extra, Le64Bytes(s.data.size()));
    Append(extra, Le64Bytes(p.offset));
  }
  Put32(b, 0x02014B50);
  Put16(b, zip64 ? 45 : 20);
  Put16(b, zip64 ? 45 : 20);
  Put16(b, s.flags);
  Put16(b, s.method);
  Put16(b, s.dosTime);
  Put16(b, s.dosDate);
  Put32(b, s.crc);
  Put32(b, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(s.data.size()));
  Put32(b, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(s.size));
  Put16(b, static_cast<uint32_t>(s.name.size()));
  Put16(b, static_cast<uint32_t>(extra.size()));
  Append(b, Bytes(10, 0));  // comment length, disk, internal and external attributes
  Put32(b, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(p.offset));
  Append(b, Bytes(s.name.begin(), s.name.end()));
  Append(b, extra);
}

// The ZIP64 end record and its locator, then the end record deferring to them.
void PutZip64End(Bytes& b, uint64_t count, uint64_t size, uint64_t start, uint64_t recordOffset) {
  Put32(b, 0x06064B50);
  Append(b, Le64Bytes(44));
  Put16(b, 45);
  Put16(b, 45);
  Put32(b, 0);
  Put32(b, 0);
  Append(b, Le64Bytes(count));
  Append(b, Le64Bytes(count));
  Append(b, Le64Bytes(size));
  Append(b, Le64Bytes(start));
  Put32(b, 0x07064B50);
  Put32(b, 0);
  Append(b, Le64Bytes(recordOffset));
  Put32(b, 1);
}
}  // namespace

Bytes ZipWithDirectory(const std::vector<ZipEntryFields>& entries, const ZipLayout& layout) {
  Bytes a = layout.stub;
  const uint64_t uncounted = layout.stubCounted ? 0 : layout.stub.size();
  std::vector<Placed> placed;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i < layout.gaps.size()) Append(a, layout.gaps[i]);
    placed.push_back({&entries[i], a.size() - uncounted});
    AppendZipEntry(a, entries[i]);
  }
  for (const auto& [entry, error] : layout.offsetErrors) placed[entry].offset += error;
  std::vector<size_t> order = layout.order;
  for (size_t i = 0; order.size() < entries.size(); ++i) order.push_back(i);
  const uint64_t start = a.size();
  for (size_t i : order) PutCentralHeader(a, placed[i], layout.zip64);
  const uint64_t size = a.size() - start;
  if (layout.zip64) PutZip64End(a, entries.size(), size, start - uncounted, a.size() - uncounted);
  const uint32_t count = layout.zip64 ? 0xFFFF : static_cast<uint32_t>(entries.size());
  Put32(a, 0x06054B50);
  Put32(a, 0);
  Put16(a, count);
  Put16(a, count);
  Put32(a, layout.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(size));
  Put32(a, layout.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(start - uncounted));
  Put16(a, 0);
  return a;
}
