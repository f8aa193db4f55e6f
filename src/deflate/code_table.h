// Two-level decoding tables for the canonical Huffman codes of Deflate blocks: one lookup
// of the root width decides every code that short, a link leads to a sub-table for the
// longer ones. Constexpr so that the fixed-code tables are made by the same builder at
// compile time.
#pragma once

#include <algorithm>
#include <cstdint>

// An entry is one 32-bit word, so the decoder loads it once and takes every field from a
// register:
//   bits 0-5   bits the entry consumes, so that `buffer >>= entry & 63` takes them. For a
//              base that is its code bits plus its extra bits; for a link, the root width.
//   bits 8-11  code bits without extra bits (a base's extra bits sit above them in the
//              bits consumed); for a link, the width of its sub-table.
//   bits 12-15 kind: literal (or code-length symbol), base of a length or distance, link,
//              end of block; none of them is an invalid code.
//   bits 16-31 literal, symbol, base, or sub-table position from the table's start.
// In a sub-table the bits count beyond the root. Bits 6 and 7 stay clear: the fast loop
// subtracts whole entries from its bit count and needs the low byte to stay exact.
using CodeEntry = uint32_t;

inline constexpr uint32_t kEntryConsumedMask = 63;
inline constexpr uint32_t kEntryCodeBitsShift = 8;
inline constexpr uint32_t kEntryCodeBitsMask = 15;
inline constexpr uint32_t kEntryValueShift = 16;
inline constexpr CodeEntry kEntryLiteral = 1u << 15;
inline constexpr CodeEntry kEntryBase = 1u << 14;
inline constexpr CodeEntry kEntryLink = 1u << 13;
inline constexpr CodeEntry kEntryEndOfBlock = 1u << 12;
inline constexpr CodeEntry kEntryInvalid = 0;
inline constexpr CodeEntry kEntryKindMask = kEntryLiteral | kEntryBase | kEntryLink | kEntryEndOfBlock;

inline constexpr uint32_t kMaxCodeBits = 15;
inline constexpr uint32_t kMaxExtraBits = 16;  // Deflate64's longest length
static_assert(kMaxCodeBits <= kEntryCodeBitsMask, "an entry must hold its code bits");
static_assert(kMaxCodeBits + kMaxExtraBits <= kEntryConsumedMask,
              "an entry must hold the bits it consumes below bit 6");
static_assert((kEntryKindMask >> kEntryCodeBitsShift & kEntryCodeBitsMask) == 0 &&
                  kEntryKindMask < (1u << kEntryValueShift),
              "the kind bits lie between the code bits and the value");

constexpr CodeEntry MakeEntry(CodeEntry kind, uint32_t consumed, uint32_t codeBits, uint32_t value) {
  return kind | consumed | codeBits << kEntryCodeBitsShift | value << kEntryValueShift;
}

constexpr uint32_t ConsumedBitsOf(CodeEntry e) { return e & kEntryConsumedMask; }
constexpr uint32_t ValueOf(CodeEntry e) { return e >> kEntryValueShift; }
constexpr CodeEntry KindOf(CodeEntry e) { return e & kEntryKindMask; }
constexpr bool IsLiteral(CodeEntry e) { return (e & kEntryLiteral) != 0; }
constexpr bool IsBase(CodeEntry e) { return (e & kEntryBase) != 0; }
constexpr bool IsLink(CodeEntry e) { return (e & kEntryLink) != 0; }
constexpr bool IsEndOfBlock(CodeEntry e) { return (e & kEntryEndOfBlock) != 0; }
constexpr uint32_t SubTableWidthOf(CodeEntry e) {
  return e >> kEntryCodeBitsShift & kEntryCodeBitsMask;
}
// Bits of the code itself, without a base's extra bits; for a link, the root width.
constexpr uint32_t CodeBitsOf(CodeEntry e) {
  return IsLink(e) ? ConsumedBitsOf(e) : e >> kEntryCodeBitsShift & kEntryCodeBitsMask;
}
constexpr uint32_t ExtraBitsOf(CodeEntry e) { return ConsumedBitsOf(e) - CodeBitsOf(e); }
// A base plus the extra bits that follow its code in `bits`, the buffer as it was in front
// of the code.
constexpr uint32_t BaseWithExtra(CodeEntry e, uint64_t bits) {
  const uint64_t taken = bits & ((uint64_t{1} << ConsumedBitsOf(e)) - 1);
  return ValueOf(e) + static_cast<uint32_t>(taken >> (e >> kEntryCodeBitsShift & kEntryCodeBitsMask));
}

enum CodeKind : uint32_t {
  kCodeLengthCodes = 0,  // the code that sends the other code lengths
  kLiteralLengthCodes = 1,
  kDistanceCodes = 2,
};

// What a table is for: its kind, root width, the most entries it may take, and per symbol
// the entry it decodes to (kind and value; for a base, the bits consumed hold the extra-bit
// count). Without symbol entries, symbol n decodes to literal n.
struct CodeShape {
  CodeKind kind;
  uint32_t rootBits;
  uint32_t limit;
  const CodeEntry* symbols;
};

enum : int32_t { kTableBuilt = 0, kTableInvalidCode = -1, kTableTooLarge = 1 };

// Byte values with their bits in reverse order, so that a code reverses in two lookups.
struct ReversedBytes {
  uint8_t of[256];
};
constexpr ReversedBytes MakeReversedBytes() {
  ReversedBytes r{};
  for (uint32_t b = 0; b < 256; b++) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < 8; i++) v |= ((b >> i) & 1u) << (7 - i);
    r.of[b] = static_cast<uint8_t>(v);
  }
  return r;
}
inline constexpr ReversedBytes kReversedBytes = MakeReversedBytes();
static_assert(kMaxCodeBits <= 16, "two reversed bytes must cover a code");

// The code's `length` bits in reverse order: Deflate sends codes first bit first, and the
// tables are indexed by the bits as they arrive.
constexpr uint32_t ReverseBits(uint32_t code, uint32_t length) {
  const uint32_t both = static_cast<uint32_t>(kReversedBytes.of[code & 0xFF]) << 8 |
                        kReversedBytes.of[(code >> 8) & 0xFF];
  return both >> (16 - length);
}

// The entry of one symbol with code bits `length` (beyond the root inside a sub-table).
constexpr CodeEntry EntryOf(const CodeShape& shape, uint32_t symbol, uint32_t length) {
  if (!shape.symbols) return MakeEntry(kEntryLiteral, length, length, symbol);
  const CodeEntry e = shape.symbols[symbol];
  const uint32_t consumed = IsBase(e) ? length + ConsumedBitsOf(e) : length;
  return MakeEntry(KindOf(e), consumed, length, ValueOf(e));
}

// Width of the sub-table that starts with a code of `length`: it must hold every code
// that shares the same root bits, and codes fill a root slot in canonical order, so the
// slot is full at the first length where the remaining codes cover it.
constexpr uint32_t SubTableWidth(const uint32_t* remaining, uint32_t length, uint32_t rootBits) {
  uint32_t width = length - rootBits;
  int32_t room = 1 << width;
  for (uint32_t l = length; l < kMaxCodeBits; l++) {
    room -= static_cast<int32_t>(remaining[l]);
    if (room <= 0) break;
    room <<= 1;
    width++;
  }
  return width;
}

// An entry that fails the stream whatever bits follow; one bit so that a decoder reading
// bit by bit finds it as soon as it has anything.
inline constexpr CodeEntry kInvalidEntry = MakeEntry(kEntryInvalid, 1, 1, 0);

// Fills table with the two-level decoding table of the code whose lengths are given for
// `count` symbols. A root width wider than the longest code is kept (entries repeat), so
// lookups always mask the same number of bits. work holds `count` symbols; *used gets the
// number of entries written.
constexpr int32_t BuildCodeTable(const CodeShape& shape, const uint16_t* lengths, uint32_t count,
                                 CodeEntry* table, uint16_t* work, uint32_t* used) {
  uint32_t perLength[kMaxCodeBits + 1] = {};
  for (uint32_t s = 0; s < count; s++) perLength[lengths[s]]++;
  perLength[0] = 0;
  uint32_t longest = 0;
  for (uint32_t l = 1; l <= kMaxCodeBits; l++)
    if (perLength[l]) longest = l;

  const uint32_t root = shape.rootBits;
  const uint32_t rootSize = 1u << root;
  *used = rootSize;
  if (longest == 0) {
    // No codes: a block may have no distance codes; any use of the table is invalid.
    for (uint32_t i = 0; i < rootSize; i++) table[i] = kInvalidEntry;
    return kTableBuilt;
  }

  // Over-subscribed codes are never valid; incomplete ones only as a lone one-bit code.
  int32_t left = 1;
  for (uint32_t l = 1; l <= kMaxCodeBits; l++) {
    left = (left << 1) - static_cast<int32_t>(perLength[l]);
    if (left < 0) return kTableInvalidCode;
  }
  if (left > 0 && (shape.kind == kCodeLengthCodes || longest != 1)) return kTableInvalidCode;
  if (left > 0)
    for (uint32_t i = 0; i < rootSize; i++) table[i] = kInvalidEntry;

  // Sort symbols by code length, ties in symbol order: that is canonical code order. Symbols
  // without a code go behind the others, so that no symbol needs a test.
  uint32_t offset[kMaxCodeBits + 1] = {};
  uint32_t codeCount = 0;
  for (uint32_t l = 1; l <= kMaxCodeBits; l++) {
    offset[l] = codeCount;
    codeCount += perLength[l];
  }
  offset[0] = codeCount;
  for (uint32_t s = 0; s < count; s++) work[offset[lengths[s]]++] = static_cast<uint16_t>(s);

  uint32_t nextCode[kMaxCodeBits + 1] = {};
  for (uint32_t l = 1, code = 0; l <= kMaxCodeBits; l++) {
    code = (code + perLength[l - 1]) << 1;
    nextCode[l] = code;
  }

  // Codes no longer than the root: each is written once into the table as wide as the
  // longest code so far, and the table doubles by copying itself on the way to the root
  // width, which repeats every code of length l each 2^l entries.
  uint32_t i = 0;
  uint32_t width = 0;
  for (; i < codeCount && lengths[work[i]] <= root; i++) {
    const uint32_t symbol = work[i];
    const uint32_t length = lengths[symbol];
    for (; width < length; width++) std::copy_n(table, 1u << width, table + (1u << width));
    table[ReverseBits(nextCode[length]++, length)] = EntryOf(shape, symbol, length);
  }
  for (; width < root; width++) std::copy_n(table, 1u << width, table + (1u << width));

  uint32_t remaining[kMaxCodeBits + 1] = {};
  for (uint32_t l = root + 1; l <= kMaxCodeBits; l++) remaining[l] = perLength[l];
  uint32_t subPrefix = rootSize;  // none yet
  uint32_t subWidth = 0;
  CodeEntry* sub = nullptr;
  for (; i < codeCount; i++) {
    const uint32_t symbol = work[i];
    const uint32_t length = lengths[symbol];
    const uint32_t reversed = ReverseBits(nextCode[length]++, length);
    const uint32_t prefix = reversed & (rootSize - 1);
    if (prefix != subPrefix) {
      subWidth = SubTableWidth(remaining, length, root);
      if (*used + (1u << subWidth) > shape.limit) return kTableTooLarge;
      table[prefix] = MakeEntry(kEntryLink, root, subWidth, *used);
      sub = table + *used;
      *used += 1u << subWidth;
      subPrefix = prefix;
    }
    const uint32_t beyond = length - root;
    const CodeEntry e = EntryOf(shape, symbol, beyond);
    for (uint32_t k = reversed >> root; k < (1u << subWidth); k += 1u << beyond) sub[k] = e;
    remaining[length]--;
  }
  return kTableBuilt;
}
