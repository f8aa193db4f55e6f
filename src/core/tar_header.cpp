#include "core/read_ahead.h"
#include "core/tar.h"

#include <cstring>

#include "core/filetime.h"
#include "core/member_name.h"

namespace {
// Header material of one member: its extended headers with their data, then its own header.
// Sparse extension blocks stay under kTarMaxSparseMaterial, far inside this bound.
constexpr uint32_t kMaxHeaderMaterial = kTarMaxExtendedLength + 2 * kTarBlockSize;
constexpr uint32_t kMaxPaxDigits = 15;
constexpr uint32_t kOldGnuRealSizeOffset = 483;
constexpr int64_t kMaxMemberSize = int64_t{1} << 62;
constexpr uint32_t kTarPrefixOffset = 345;
constexpr uint32_t kTarPrefixSize = 155;

bool IsAllZero(const uint8_t* block) {
  for (uint32_t i = 0; i < kTarBlockSize; ++i)
    if (block[i] != 0) return false;
  return true;
}

uint32_t RoundUpToBlock(uint64_t n) { return static_cast<uint32_t>(n + TarPadding(n)); }

// Blocks that describe the member behind them instead of being members: pax "x" headers
// (GNU tar names them "./PaxHeaders.N/...", libarchive "PaxHeader/...": the typeflag marks
// them, not the name), "g" global headers (stepped over), GNU long name "L" and long link
// "K" records, and a GNU volume label "V", which names the tape, not a file.
bool IsHeaderMaterial(const uint8_t* block) {
  uint8_t type = block[kTarTypeflagOffset];
  return type == 'x' || type == 'g' || type == 'L' || type == 'K' || type == 'V' ||
         std::memcmp(block, kPaxHeaderName, sizeof kPaxHeaderName - 1) == 0;
}

bool IsPaxHeader(uint8_t type) { return type != 'g' && type != 'L' && type != 'K' && type != 'V'; }

bool ChecksumMatches(const uint8_t* block, uint32_t stored) {
  uint32_t unsignedSum, signedSum;
  TarChecksum(block, &unsignedSum, &signedSum);
  return stored == unsignedSum || stored == signedSum;
}

}  // namespace

bool IsTarHeaderBlock(const uint8_t* block) {
  return !IsAllZero(block) && ChecksumMatches(block, static_cast<uint32_t>(ReadOctal(block + kTarChksumOffset, kTarShortField)));
}

namespace {
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

void TakePaxName(const uint8_t* buffer, const PaxField& r, LongNameSource source, TarHeaderState* state) {
  state->longName = {static_cast<uint32_t>(r.value - buffer), static_cast<uint32_t>(r.valueEnd - r.value), source};
}

// Extended data is a run of records "LENGTH KEY=VALUE\n". Keys are matched whole, so a
// path containing "size=" or GNU's "GNU.sparse.realsize=" is never taken for the size.
void ParsePaxRecords(const uint8_t* buffer, const uint8_t* data, uint32_t length,
                     TarHeaderState* state) {
  state->sparse = {kSparseNone, 0, static_cast<uint32_t>(data - buffer), length, 0};
  const uint8_t* p = data;
  PaxField r;
  while (NextPaxRecord(&p, data + length, &r)) {
    if (PaxKeyIs(r, "mtime")) state->extendedMtime = PaxDecimal(r);
    if (PaxKeyIs(r, "size")) state->extendedSize = static_cast<int64_t>(PaxDecimal(r));
    // Pax text is always UTF-8. A sparse file's own name outranks the stand-in path.
    if (PaxKeyIs(r, "path") && state->longName.source != kLongNameSparse) TakePaxName(buffer, r, kLongNamePax, state);
    if (PaxKeyIs(r, "GNU.sparse.name")) TakePaxName(buffer, r, kLongNameSparse, state);
    if (PaxKeyIs(r, "linkpath"))
      state->longLink = {static_cast<uint32_t>(r.value - buffer), static_cast<uint32_t>(r.valueEnd - r.value), kLongNamePax};
    if (PaxKeyIs(r, "GNU.sparse.size") || PaxKeyIs(r, "GNU.sparse.realsize"))
      state->sparse.realSize = static_cast<int64_t>(PaxDecimal(r));
    if (PaxKeyIs(r, "GNU.sparse.major") && PaxDecimal(r) == 1) state->sparse.kind = kSparsePaxData;
    if ((PaxKeyIs(r, "GNU.sparse.map") || PaxKeyIs(r, "GNU.sparse.offset")) && state->sparse.kind != kSparsePaxData)
      state->sparse.kind = kSparsePaxRecords;
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
    case '1':
      return kAttrHardLink;
    case '2':
      return kAttrLink;
    default:
      return 0;
  }
}

// Reads the data of the extended header whose block was just read, and takes its keys.
ResultCode ReadExtendedData(ArchiveContext* context, TarHeaderState* state, EntryRecord* entry,
                            uint8_t* buffer) {
  const uint8_t* block = buffer + state->consumed - kTarBlockSize;
  int64_t length = ReadSizeField(block);
  entry->checksum = static_cast<uint32_t>(ReadOctal(block + kTarChksumOffset, kTarShortField));
  if (!ChecksumMatches(block, entry->checksum)) return kResultChecksum;
  if (length < 0 || length > kTarMaxExtendedLength) return kResultFormat;
  uint32_t padded = RoundUpToBlock(static_cast<uint64_t>(length));
  if (state->consumed + padded + kTarBlockSize > kMaxHeaderMaterial) return kResultFormat;
  uint8_t type = block[kTarTypeflagOffset];
  state->extendedPadding = padded - static_cast<uint32_t>(length);
  uint8_t* data = buffer + state->consumed;
  uint32_t got = 0;
  if (!ArchiveRead(context, data, padded, &got)) return kResultRead;
  if (got < padded) return kResultUnexpectedEnd;
  state->consumed += padded;
  // A pax path outranks a GNU long name, whichever comes first.
  if (type == 'L' && state->longName.source == kLongNameNone)
    state->longName = {static_cast<uint32_t>(data - buffer), static_cast<uint32_t>(length), kLongNameGnu};
  if (type == 'K' && state->longLink.source == kLongNameNone)
    state->longLink = {static_cast<uint32_t>(data - buffer), static_cast<uint32_t>(length), kLongNameGnu};
  if (IsPaxHeader(type)) {
    state->extendedSize = 0;
    state->extendedMtime = 0;
    ParsePaxRecords(buffer, data, static_cast<uint32_t>(length), state);
  }
  return kResultOk;
}

// The ustar prefix holds the folders of a long path; GNU's "ustar  " magic keeps times and
// sparse data in the same bytes, so only the POSIX magic makes them a prefix.
uint32_t UstarPrefixLength(const uint8_t* header) {
  if (std::memcmp(header + kTarMagicOffset, kUstarMagicVersion, kUstarMagicSize) != 0) return 0;
  uint32_t n = 0;
  while (n < kTarPrefixSize && header[kTarPrefixOffset + n] != 0) ++n;
  return n;
}

void StoreTarName(ArchiveContext* context, const uint8_t* bytes, uint32_t length, bool fixedField) {
  SetStoredName(context, bytes, length, TarNameEncoding(context, bytes, length), fixedField);
}

// The member's whole name: a pax path, else a GNU long name, else the ustar prefix and the
// name field joined by "/", else the name field.
void TakeTarName(ArchiveContext* context, const TarHeaderState* state) {
  const TarLongName& longName = state->longName;
  const uint8_t* material = context->ioBuffer;
  if (longName.source == kLongNamePax || longName.source == kLongNameSparse) {
    SetStoredName(context, material + longName.offset, longName.length, kNameUtf8, false);
    return;
  }
  if (longName.source == kLongNameGnu) {
    StoreTarName(context, material + longName.offset, longName.length, false);
    return;
  }
  const uint8_t* h = state->header;
  uint32_t prefixLength = UstarPrefixLength(h);
  if (prefixLength == 0) {
    StoreTarName(context, h, kTarNameSize, true);
    return;
  }
  uint8_t joined[kTarPrefixSize + 1 + kTarNameSize];
  std::memcpy(joined, h + kTarPrefixOffset, prefixLength);
  joined[prefixLength] = '/';
  std::memcpy(joined + prefixLength + 1, h, kTarNameSize);
  StoreTarName(context, joined, prefixLength + 1 + kTarNameSize, false);
}

// A link's target: pax linkpath, else a GNU long link name, else the linkname field.
void TakeLinkTarget(ArchiveContext* context, const TarHeaderState* state) {
  uint8_t type = state->header[kTarTypeflagOffset];
  StoredName* target = &context->linkTarget;
  if (type != '1' && type != '2') {
    KeepNameBytes(target, nullptr, 0, kNameUtf8, false);
    return;
  }
  const TarLongName& longLink = state->longLink;
  const uint8_t* bytes = context->ioBuffer + longLink.offset;
  if (longLink.source == kLongNamePax) {
    KeepNameBytes(target, bytes, longLink.length, kNameUtf8, false);
  } else if (longLink.source == kLongNameGnu) {
    KeepNameBytes(target, bytes, longLink.length, TarNameEncoding(context, bytes, longLink.length), false);
  } else {
    const uint8_t* field = state->header + kTarLinknameOffset;
    KeepNameBytes(target, field, kTarNameSize, TarNameEncoding(context, field, kTarNameSize), true);
  }
}

// A directory holds no data whatever its size field says; old tars mark one only by the
// slash at the end of its name.
bool IsDirectoryMember(const ArchiveContext* context, uint8_t type) {
  const StoredName& name = context->storedName;
  bool slash = name.length > 0 && name.bytes[name.length - 1] == '/';
  return type == '5' || ((type == '0' || type == 0) && slash);
}

void FillEntry(ArchiveContext* context, const TarHeaderState* state, int64_t ownSize) {
  EntryRecord* entry = &context->entry;
  const uint8_t* h = state->header;
  TakeTarName(context, state);
  TakeLinkTarget(context, state);
  entry->mode = static_cast<uint32_t>(ReadOctal(h + kTarModeOffset, kTarShortField));
  bool directory = IsDirectoryMember(context, h[kTarTypeflagOffset]);
  int64_t size = ownSize > state->extendedSize ? ownSize : state->extendedSize;
  if (directory) size = 0;
  entry->packedSize = size;
  entry->size = static_cast<uint64_t>(size);
  entry->padding = TarPadding(static_cast<uint64_t>(size));
  uint64_t mtime = ReadOctal(h + kTarMtimeOffset, kTarLongField);
  if (state->extendedMtime > mtime) mtime = state->extendedMtime;
  entry->modified = UnixToFileTime(mtime);
  entry->attributes = directory ? kAttrDirectory : AttributesOfType(h[kTarTypeflagOffset]);
}

ResultCode SkipSparseExtensions(ArchiveContext* context, TarHeaderState* state, uint8_t* buffer) {
  if (state->header[kTarTypeflagOffset] != 'S' || state->header[kTarSparseExtendedOffset] != 1)
    return kResultOk;
  for (;;) {
    if (state->consumed >= kTarMaxSparseMaterial) return kResultFormat;
    ResultCode r = ReadMaterialBlock(context, buffer, state);
    if (r != kResultOk) return r;
    if (buffer[state->consumed - kTarBlockSize + kTarSparseBlockExtendedOffset] != 1)
      return kResultOk;
  }
}
// An old GNU sparse header keeps its map in the header and the blocks behind it.
void NoteOldGnuSparse(TarHeaderState* state) {
  if (state->header[kTarTypeflagOffset] != 'S') return;
  state->sparse.kind = kSparseOldGnu;
  state->sparse.realSize = static_cast<int64_t>(ReadOctal(state->header + kOldGnuRealSizeOffset, kTarLongField));
  state->sparse.mapOffset = state->headerOffset;
}
}  // namespace

ResultCode ReadMaterialBlock(ArchiveContext* context, uint8_t* buffer, TarHeaderState* state) {
  if (state->consumed + kTarBlockSize > kIoBufferSize) return kResultFormat;
  uint32_t got = 0;
  if (!ArchiveRead(context, buffer + state->consumed, kTarBlockSize, &got)) return kResultRead;
  if (got < kTarBlockSize) return kResultUnexpectedEnd;
  state->consumed += kTarBlockSize;
  return kResultOk;
}

bool NextPaxRecord(const uint8_t** at, const uint8_t* end, PaxField* record) {
  const uint8_t* p = *at;
  uint64_t recordLength = 0;
  const uint8_t* q = p;
  while (q < end && *q >= '0' && *q <= '9' && recordLength <= static_cast<uint64_t>(end - p))
    recordLength = recordLength * 10 + static_cast<uint64_t>(*q++ - '0');
  if (q == p || q >= end || *q != ' ' || recordLength == 0 || recordLength > static_cast<uint64_t>(end - p))
    return false;
  const uint8_t* recordEnd = p + recordLength;
  record->key = q + 1;
  record->keyEnd = record->key;
  while (record->keyEnd < recordEnd && *record->keyEnd != '=') ++record->keyEnd;
  record->value = record->keyEnd < recordEnd ? record->keyEnd + 1 : recordEnd;
  // The value runs to the record's closing line feed.
  record->valueEnd = recordEnd[-1] == '\n' && recordEnd - 1 >= record->value ? recordEnd - 1 : recordEnd;
  *at = recordEnd;
  return true;
}

bool PaxKeyIs(const PaxField& record, const char* name) {
  size_t length = std::strlen(name);
  return record.value > record.keyEnd && static_cast<size_t>(record.keyEnd - record.key) == length &&
         std::memcmp(record.key, name, length) == 0;
}

uint64_t PaxDecimal(const PaxField& record) {
  uint64_t value = 0;
  const uint8_t* p = record.value;
  for (uint32_t n = 0; n < kMaxPaxDigits && p < record.valueEnd && *p >= '0' && *p <= '9'; ++n, ++p)
    value = value * 10 + static_cast<uint64_t>(*p - '0');
  return value;
}

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

ResultCode ReadTarHeader(ArchiveContext* context, TarHeaderState* state) {
  std::memset(state, 0, sizeof *state);
  context->sparseCount = 0;
  uint8_t* buffer = context->ioBuffer;
  EntryRecord* entry = &context->entry;
  uint32_t got = 0;
  if (!ArchiveRead(context, buffer, kTarBlockSize, &got)) return kResultRead;
  if (got == 0) return kResultEndOfMembers;
  // Part of a block is not an end: appending there would overwrite what we did not read.
  if (got < kTarBlockSize) return kResultUnexpectedEnd;
  state->consumed = kTarBlockSize;
  // Any number of extended headers and long-name records may precede the member's header.
  while (IsHeaderMaterial(buffer + state->consumed - kTarBlockSize)) {
    ResultCode r = ReadExtendedData(context, state, entry, buffer);
    if (r != kResultOk) return r;
    if (state->consumed + kTarBlockSize > kMaxHeaderMaterial) return kResultFormat;
    state->headerOffset = state->consumed;
    r = ReadMaterialBlock(context, buffer, state);
    if (r != kResultOk) return r;
  }
  std::memcpy(state->header, buffer + state->headerOffset, kTarBlockSize);
  entry->checksum = static_cast<uint32_t>(ReadOctal(state->header + kTarChksumOffset, kTarShortField));
  if (entry->checksum == 0 && IsAllZero(state->header)) return kResultEmptyBlock;
  if (!ChecksumMatches(state->header, entry->checksum)) return kResultChecksum;
  int64_t ownSize = ReadSizeField(state->header);
  if (ownSize < 0) return kResultFormat;
  FillEntry(context, state, ownSize);
  ResultCode r = SkipSparseExtensions(context, state, buffer);
  if (r != kResultOk) return r;
  NoteOldGnuSparse(state);
  return state->sparse.kind == kSparseNone ? kResultOk : ReadTarSparseMap(context, state);
}
