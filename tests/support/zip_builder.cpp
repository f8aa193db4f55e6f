#include "support/zip_builder.h"

#include "support/deflate_writer.h"
#include "deflate/crc32.h"
#include "zip/zip_crypto.h"

namespace {
// Little-endian fields one after another: value and width in bytes (zeros past the eighth).
void Put(Bytes& b, std::initializer_list<std::pair<uint64_t, int>> fields) {
  for (const auto& [value, width] : fields)
    for (int i = 0; i < width; ++i) b.push_back(i < 8 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
}
void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }
void AppendText(Bytes& to, const std::string& text) { to.insert(to.end(), text.begin(), text.end()); }

uint32_t Crc(const Bytes& b) { return Crc32Update(0, b.data(), b.size()); }

bool IsZip64(Descriptor d) { return d == Descriptor::Zip64Plain || d == Descriptor::Zip64Signed; }
}  // namespace

Bytes Le32Bytes(uint32_t value) {
  Bytes b;
  Put(b, {{value, 4}});
  return b;
}

Bytes Zip64Record(uint64_t size, uint64_t compressed) {
  Bytes b;
  Put(b, {{1, 2}, {16, 2}, {size, 8}, {compressed, 8}});
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

namespace {
// ZipCrypto encryption of data with the keys as they stand; the keys advance.
Bytes EncryptWithKeys(uint32_t keys[3], Bytes data) {
  for (uint8_t& x : data) {
    const uint32_t t = (keys[2] | 2) & 0xFFFF;
    const uint8_t plain = x;
    x ^= static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    ZipCryptoUpdateKeys(keys, plain);
  }
  return data;
}
}  // namespace

ZipEntryFields Encrypted(ZipEntryFields fields, const std::string& password) {
  uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};
  for (char c : password) ZipCryptoUpdateKeys(keys, static_cast<uint8_t>(c));
  Bytes plain = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, static_cast<uint8_t>(fields.crc >> 24)};
  Append(plain, fields.data);
  fields.data = EncryptWithKeys(keys, plain);
  fields.flags |= 0x0001;
  return fields;
}

namespace {
void AppendZipEntry(Bytes& archive, const ZipEntryFields& s) {
  const bool known = s.headerSizesKnown, override = s.overrideHeaderSizes;
  Put(archive, {{0x04034B50, 4}, {20, 2}, {s.flags, 2}, {s.method, 2}, {s.dosTime, 2}, {s.dosDate, 2},
                {known ? s.crc : 0, 4}, {override ? s.headerCompressed32 : known ? s.data.size() : 0, 4},
                {override ? s.headerSize32 : known ? s.size : 0, 4}, {s.name.size(), 2}, {s.extra.size(), 2}});
  AppendText(archive, s.name);
  Append(archive, s.extra);
  Append(archive, s.data);
  if (s.descriptor == Descriptor::None) return;
  if (s.descriptor == Descriptor::Signed || s.descriptor == Descriptor::Zip64Signed) Put(archive, {{0x08074B50, 4}});
  const int width = IsZip64(s.descriptor) ? 8 : 4;
  Put(archive, {{s.crc, 4}, {s.data.size(), width}, {s.size, width}});
}

// One central directory header per name, then the end record.
void AppendCentralDirectory(Bytes& archive, const std::vector<std::string>& names) {
  const uint64_t start = archive.size();
  for (const std::string& name : names) {
    Put(archive, {{0x02014B50, 4}, {0, 24}, {name.size(), 2}, {0, 16}});
    AppendText(archive, name);
  }
  Put(archive, {{0x06054B50, 4}, {0, 4}, {names.size(), 2}, {names.size(), 2}, {archive.size() - start, 4},
                {start, 4}, {0, 2}});
}
}  // namespace

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
  const uint8_t flags = s.extraFlags | (s.headerCrc ? 0x02 : 0) | (s.extra.empty() ? 0 : 0x04) |
                        (s.name.empty() ? 0 : 0x08) | (s.comment.empty() ? 0 : 0x10);
  Bytes b = {0x1F, 0x8B, s.method, flags};
  Put(b, {{s.mtime, 4}, {0, 1}, {3, 1}});
  if (!s.extra.empty()) {
    Put(b, {{s.extra.size(), 2}});
    Append(b, s.extra);
  }
  for (const std::string* text : {&s.name, &s.comment})
    if (!text->empty()) Append(b, Joined({BytesOf(*text), {0}}));
  if (s.headerCrc) Put(b, {{Crc(b) + s.headerCrcDelta, 2}});
  Append(b, StoredStream(s.content));
  Put(b, {{Crc(s.content) + s.crcDelta, 4}, {static_cast<uint32_t>(s.content.size()) + s.sizeDelta, 4}});
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
  if (zip64) Put(extra, {{1, 2}, {24, 2}, {s.size, 8}, {s.data.size(), 8}, {p.offset, 8}});
  const uint64_t version = zip64 ? 45 : 20, wide = 0xFFFFFFFF;
  // Comment length, disk, internal and external attributes are 0.
  Put(b, {{0x02014B50, 4}, {version, 2}, {version, 2}, {s.flags, 2}, {s.method, 2}, {s.dosTime, 2}, {s.dosDate, 2},
          {s.crc, 4}, {zip64 ? wide : s.data.size(), 4}, {zip64 ? wide : s.size, 4}, {s.name.size(), 2},
          {extra.size(), 2}, {0, 10}, {zip64 ? wide : p.offset, 4}});
  AppendText(b, s.name);
  Append(b, extra);
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
  const uint64_t size = a.size() - start, count = entries.size();
  if (layout.zip64) {  // the ZIP64 end record and its locator, then the end record deferring to them
    const uint64_t record = a.size() - uncounted;
    Put(a, {{0x06064B50, 4}, {44, 8}, {45, 2}, {45, 2}, {0, 8}, {count, 8}, {count, 8}, {size, 8},
            {start - uncounted, 8}, {0x07064B50, 4}, {0, 4}, {record, 8}, {1, 4}});
  }
  const uint64_t wide = 0xFFFFFFFF;
  Put(a, {{0x06054B50, 4}, {0, 4}, {layout.zip64 ? 0xFFFF : count, 2}, {layout.zip64 ? 0xFFFF : count, 2},
          {layout.zip64 ? wide : size, 4}, {layout.zip64 ? wide : start - uncounted, 4}, {0, 2}});
  return a;
}
