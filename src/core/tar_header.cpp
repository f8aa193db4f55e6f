#include "core/tar.h"

#include <cstring>

#include "core/filetime.h"

namespace {
// Header material of one member: its extended headers with their data, then its own header.
// Sparse extension blocks stay under kTarMaxSparseMaterial, far inside this bound.
constexpr uint32_t kMaxHeaderMaterial = kTarMaxExtendedLength + 2 * kTarBlockSize;
constexpr uint32_t kMaxPaxDigits = 15;
constexpr char kPaxHeaderName[] = "././@PaxHeader";
constexpr int64_t kMaxMemberSize = int64_t{1} << 62;

bool IsAllZero(const uint8_t* block) {
  for (uint32_t i = 0; i < kTarBlockSize; ++i)
    if (block[i] != 0) return false;
  return true;
}

uint32_t RoundUpToBlock(uint64_t n) { return static_cast<uint32_t>(n + TarPadding(n)); }

// GNU tar writes "x" headers named "./PaxHeaders.N/..." and libarchive "PaxHeader/...":
// the typeflag marks them, not the name. "g" is a global header, stepped over.
bool IsExtendedHeader(const uint8_t* block) {
  uint8_t type = block[kTarTypeflagOffset];
  return type == 'x' || type == 'g' ||
         std::memcmp(block, kPaxHeaderName, sizeof kPaxHeaderName - 1) == 0;
}

bool ChecksumMatches(const uint8_t* block, uint32_t stored) {
  uint32_t unsignedSum, signedSum;
  TarChecksum(block, &unsignedSum, &signedSum);
  return stored == unsignedSum || stored == signedSum;
}

// Base-256 sizes (GNU, first byte 0x80) carry members of 8 GiB and more; reading them keeps
// the walk on the member boundaries. Returns -1 for values no file can have.
int64_t ReadBase256(const uint8_t* field, uint32_t width) {
  if (field[0] != 0x80) return -1;
  uint64_t value = 0;
  for (uint32_t i = 1; i < width; ++i) {
    if (value > (static_cast<uint64_t>(kMaxMemberSize) >> 8)) return -1;
    value = (value << 8) | field[i];
  }
  return static_cast<int64_t>(value);
}

int64_t ReadSizeField(const uint8_t* header) {
  const uint8_t* field = header + kTarSizeOffset;
  if (field[0] & 0x80) return ReadBase256(field, kTarLongField);
  return static_cast<int64_t>(ReadOctal(field, kTarLongField));
}

uint64_t ReadDecimal(const uint8_t* p, const uint8_t* end) {
  uint64_t value = 0;
  for (uint32_t n = 0; n < kMaxPaxDigits && p < end && *p >= '0' && *p <= '9'; ++n, ++p)
    value = value * 10 + (*p - '0');
  return value;
}

bool KeyIs(const uint8_t* key, const uint8_t* keyEnd, const char* name) {
  size_t length = std::strlen(name);
  return static_cast<size_t>(keyEnd - key) == length && std::memcmp(key, name, length) == 0;
}

// Extended data is a run of records "LENGTH KEY=VALUE\n". Keys are matched whole, so a
// path containing "size=" or GNU's "GNU.sparse.realsize=" is never taken for the size.
void ParsePaxRecords(const uint8_t* data, uint32_t length, TarHeaderState* state) {
  const uint8_t* p = data;
  const uint8_t* end = data + length;
  while (p < end) {
    uint64_t recordLength = 0;
    const uint8_t* q = p;
    while (q < end && *q >= '0' && *q <= '9' && recordLength < length)
      recordLength = recordLength * 10 + (*q++ - '0');
    if (q == p || q >= end || *q != ' ' || recordLength == 0 ||
        recordLength > static_cast<uint64_t>(end - p))
      return;
    const uint8_t* recordEnd = p + recordLength;
    const uint8_t* key = q + 1;
    const uint8_t* equals = key;
    while (equals < recordEnd && *equals != '=') ++equals;
    if (equals < recordEnd) {
      if (KeyIs(key, equals, "mtime")) state->extendedMtime = ReadDecimal(equals + 1, recordEnd);
      if (KeyIs(key, equals, "size"))
        state->extendedSize = static_cast<int64_t>(ReadDecimal(equals + 1, recordEnd));
    }
    p = recordEnd;
  }
}

uint32_t AttributesOfType(uint8_t type) {
  switch (type) {
    case 0:
    case '0':
    case '7':
    case 'S':
      return kAttrArchive;
    case '5':
      return kAttrDirectory;
    default:
      return 0;
  }
}

// Reads one 512-byte block behind the material read so far.
ResultCode ReadBlock(FileHandle file, uint8_t* buffer, TarHeaderState* state) {
  uint32_t got = 0;
  if (!FileRead(file, buffer + state->consumed, kTarBlockSize, &got)) return kResultRead;
  if (got < kTarBlockSize) return kResultUnexpectedEnd;
  state->consumed += kTarBlockSize;
  return kResultOk;
}

// Reads the data of the extended header whose block was just read, and takes its keys.
ResultCode ReadExtendedData(FileHandle file, TarHeaderState* state, EntryRecord* entry,
                            uint8_t* buffer) {
  const uint8_t* block = buffer + state->consumed - kTarBlockSize;
  int64_t length = ReadSizeField(block);
  entry->checksum = static_cast<uint32_t>(ReadOctal(block + kTarChksumOffset, kTarShortField));
  if (!ChecksumMatches(block, entry->checksum)) return kResultChecksum;
  if (length < 0 || length > kTarMaxExtendedLength) return kResultFormat;
  uint32_t padded = RoundUpToBlock(static_cast<uint64_t>(length));
  if (state->consumed + padded + kTarBlockSize > kMaxHeaderMaterial) return kResultFormat;
  bool global = block[kTarTypeflagOffset] == 'g';
  state->extendedPadding = padded - static_cast<uint32_t>(length);
  uint8_t* data = buffer + state->consumed;
  uint32_t got = 0;
  if (!FileRead(file, data, padded, &got)) return kResultRead;
  if (got < padded) return kResultUnexpectedEnd;
  state->consumed += padded;
  if (!global) {
    state->extendedSize = 0;
    state->extendedMtime = 0;
    ParsePaxRecords(data, static_cast<uint32_t>(length), state);
  }
  return kResultOk;
}

void FillEntry(const TarHeaderState* state, EntryRecord* entry, int64_t ownSize) {
  const uint8_t* h = state->header;
  std::memcpy(entry->name, h, kTarNameSize);
  entry->mode = static_cast<uint32_t>(ReadOctal(h + kTarModeOffset, kTarShortField));
  int64_t size = ownSize > state->extendedSize ? ownSize : state->extendedSize;
  entry->packedSize = size;
  entry->size = static_cast<uint64_t>(size);
  entry->padding = TarPadding(static_cast<uint64_t>(size));
  uint64_t mtime = ReadOctal(h + kTarMtimeOffset, kTarLongField);
  if (state->extendedMtime > mtime) mtime = state->extendedMtime;
  entry->modified = UnixToFileTime(mtime);
  entry->attributes = AttributesOfType(h[kTarTypeflagOffset]);
}

ResultCode SkipSparseExtensions(FileHandle file, TarHeaderState* state, uint8_t* buffer) {
  if (state->header[kTarTypeflagOffset] != 'S' || state->header[kTarSparseExtendedOffset] != 1)
    return kResultOk;
  for (;;) {
    if (state->consumed >= kTarMaxSparseMaterial) return kResultFormat;
    ResultCode r = ReadBlock(file, buffer, state);
    if (r != kResultOk) return r;
    if (buffer[state->consumed - kTarBlockSize + kTarSparseBlockExtendedOffset] != 1)
      return kResultOk;
  }
}
}  // namespace

void TarChecksum(const uint8_t* header, uint32_t* unsignedSum, uint32_t* signedSum) {
  // Sum every byte, then count the chksum field as spaces: one branch-free pass.
  uint32_t u = 0, high = 0;
  for (uint32_t i = 0; i < kTarBlockSize; ++i) {
    u += header[i];
    high += header[i] >> 7;
  }
  for (uint32_t i = kTarChksumOffset; i < kTarChksumOffset + kTarShortField; ++i) {
    u -= header[i];
    high -= header[i] >> 7;
  }
  u += kTarShortField * ' ';
  *unsignedSum = u;
  *signedSum = u - 256 * high;  // a byte of 0x80 and above counts 256 less as a signed value
}

void WriteOctal(uint8_t* field, uint32_t digits, uint64_t value) {
  for (uint32_t i = digits; i > 0; --i) {
    field[i - 1] = static_cast<uint8_t>('0' + (value & 7));
    value >>= 3;
  }
  field[digits] = 0;
}

uint32_t StoreTarChecksum(uint8_t* header) {
  uint32_t unsignedSum, signedSum;
  TarChecksum(header, &unsignedSum, &signedSum);
  WriteOctal(header + kTarChksumOffset, kTarShortField - 1, unsignedSum);
  return unsignedSum;
}

uint64_t ReadOctal(const uint8_t* field, uint32_t width) {
  uint64_t value = 0;
  for (uint32_t i = 0; i < width; ++i)
    if (field[i] >= '0' && field[i] <= '7') value = value * 8 + (field[i] - '0');
  return value;
}

ResultCode ReadTarHeader(FileHandle file, TarHeaderState* state, EntryRecord* entry,
                         uint8_t* buffer) {
  std::memset(state, 0, sizeof *state);
  uint32_t got = 0;
  if (!FileRead(file, buffer, kTarBlockSize, &got)) return kResultRead;
  if (got < kTarBlockSize) return kResultEndOfMembers;
  state->consumed = kTarBlockSize;
  // Any number of extended headers may precede the member's own header.
  while (IsExtendedHeader(buffer + state->consumed - kTarBlockSize)) {
    ResultCode r = ReadExtendedData(file, state, entry, buffer);
    if (r != kResultOk) return r;
    if (state->consumed + kTarBlockSize > kMaxHeaderMaterial) return kResultFormat;
    state->headerOffset = state->consumed;
    r = ReadBlock(file, buffer, state);
    if (r != kResultOk) return r;
  }
  std::memcpy(state->header, buffer + state->headerOffset, kTarBlockSize);
  entry->checksum = static_cast<uint32_t>(ReadOctal(state->header + kTarChksumOffset, kTarShortField));
  if (entry->checksum == 0 && IsAllZero(state->header)) return kResultEmptyBlock;
  if (!ChecksumMatches(state->header, entry->checksum)) return kResultChecksum;
  int64_t ownSize = ReadSizeField(state->header);
  if (ownSize < 0) return kResultFormat;
  FillEntry(state, entry, ownSize);
  return SkipSparseExtensions(file, state, buffer);
}
