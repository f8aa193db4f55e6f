// Two-level decoding tables for the canonical Huffman codes of Deflate blocks: one lookup
// of the root width decides every code that short, a link leads to a sub-table for the
// longer ones. Constexpr so that the fixed-code tables are made by the same builder at
// compile time.
#pragma once

#include <cstdint>

// op: 0 literal or code-length symbol; 1 to 15 link to a sub-table indexed by that many bits;
// kOpInvalid; kOpEndOfBlock; kOpBase | code bits for a length or distance base.
// bits: bits the entry consumes. For a base that is its code bits plus its extra bits, so
// one shift takes both; for a link it is the root width; in a sub-table code bits count
// beyond the root.
struct CodeEntry {
  uint8_t op;
  uint8_t bits;
  uint16_t value;  // literal, symbol, base, or sub-table position from the table's start
};

inline constexpr uint8_t kOpLiteral = 0;
inline constexpr uint8_t kOpInvalid = 64;
inline constexpr uint8_t kOpEndOfBlock = 96;
inline constexpr uint8_t kOpBase = 128;
inline constexpr uint8_t kOpCodeBitsMask = 31;

inline constexpr uint32_t kMaxCodeBits = 15;
static_assert(kMaxCodeBits <= kOpCodeBitsMask, "a base's op must hold its code bits");

constexpr bool IsLink(CodeEntry e) { return e.op != kOpLiteral && e.op < 16; }
constexpr bool IsBase(CodeEntry e) { return (e.op & kOpBase) != 0; }
// Bits of the code itself, without a base's extra bits.
constexpr uint32_t CodeBitsOf(CodeEntry e) {
  return IsBase(e) ? (e.op & kOpCodeBitsMask) : e.bits;
}
constexpr uint32_t ExtraBitsOf(CodeEntry e) { return e.bits - CodeBitsOf(e); }

enum CodeKind : uint32_t {
  kCodeLengthCodes = 0,  // the code that sends the other code lengths
  kLiteralLengthCodes = 1,
  kDistanceCodes = 2,
};

// What a table is for: its kind, root width, the most entries it may take, and per symbol
// the entry it decodes to (op and value; for a base, bits holds the extra-bit count).
// Without symbol entries, symbol n decodes to literal n.
struct CodeShape {
  CodeKind kind;
  uint32_t rootBits;
  uint32_t limit;
  const CodeEntry* symbols;
};

enum : int32_t { kTableBuilt = 0, kTableInvalidCode = -1, kTableTooLarge = 1 };

constexpr uint32_t ReverseBits(uint32_t code, uint32_t length) {
  uint32_t r = 0;
  for (uint32_t i = 0; i < length; i++) r |= ((code >> i) & 1u) << (length - 1 - i);
  return r;
}

// The entry of one symbol with code bits `length` (beyond the root inside a sub-table).
constexpr CodeEntry EntryOf(const CodeShape& shape, uint32_t symbol, uint32_t length) {
  if (!shape.symbols) return {kOpLiteral, static_cast<uint8_t>(length), static_cast<uint16_t>(symbol)};
  CodeEntry e = shape.symbols[symbol];
  if (IsBase(e)) return {static_cast<uint8_t>(kOpBase | length), static_cast<uint8_t>(length + e.bits), e.value};
  return {e.op, static_cast<uint8_t>(length), e.value};
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
    for (uint32_t i = 0; i < rootSize; i++) table[i] = {kOpInvalid, 1, 0};
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
    for (uint32_t i = 0; i < rootSize; i++) table[i] = {kOpInvalid, 1, 0};

  // Sort symbols by code length, ties in symbol order: that is canonical code order.
  uint32_t offset[kMaxCodeBits + 2] = {};
  for (uint32_t l = 1; l <= kMaxCodeBits; l++) offset[l + 1] = offset[l] + perLength[l];
  for (uint32_t s = 0; s < count; s++)
    if (lengths[s]) work[offset[lengths[s]]++] = static_cast<uint16_t>(s);
  const uint32_t codeCount = offset[kMaxCodeBits];

  uint32_t nextCode[kMaxCodeBits + 1] = {};
  for (uint32_t l = 1, code = 0; l <= kMaxCodeBits; l++) {
    code = (code + perLength[l - 1]) << 1;
    nextCode[l] = code;
  }

  uint32_t remaining[kMaxCodeBits + 1] = {};
  for (uint32_t l = 0; l <= kMaxCodeBits; l++) remaining[l] = perLength[l];
  uint32_t subPrefix = rootSize;  // none yet
  uint32_t subWidth = 0;
  CodeEntry* sub = nullptr;
  for (uint32_t i = 0; i < codeCount; i++) {
    const uint32_t symbol = work[i];
    const uint32_t length = lengths[symbol];
    const uint32_t reversed = ReverseBits(nextCode[length]++, length);
    if (length <= root) {
      const CodeEntry e = EntryOf(shape, symbol, length);
      for (uint32_t k = reversed; k < rootSize; k += 1u << length) table[k] = e;
    } else {
      const uint32_t prefix = reversed & (rootSize - 1);
      if (prefix != subPrefix) {
        subWidth = SubTableWidth(remaining, length, root);
        if (*used + (1u << subWidth) > shape.limit) return kTableTooLarge;
        table[prefix] = {static_cast<uint8_t>(subWidth), static_cast<uint8_t>(root),
                         static_cast<uint16_t>(*used)};
        sub = table + *used;
        *used += 1u << subWidth;
        subPrefix = prefix;
      }
      const uint32_t beyond = length - root;
      const CodeEntry e = EntryOf(shape, symbol, beyond);
      for (uint32_t k = reversed >> root; k < (1u << subWidth); k += 1u << beyond) sub[k] = e;
    }
    remaining[length]--;
  }
  return kTableBuilt;
}
