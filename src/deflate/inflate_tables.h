// The constants in which Deflate and Deflate64 differ, and the fixed-code tables of each,
// made at compile time by the table builder.
#pragma once

#include <array>
#include <cstdint>

#include "deflate/code_table.h"
#include "deflate/inflate.h"

// Root widths: most literal/length codes of binary data are 9 to 11 bits long, and a
// sub-table lookup in the fast loop costs about as much as a second code.
inline constexpr uint32_t kLengthRootBits = 11;
inline constexpr uint32_t kDistanceRootBits = 8;
inline constexpr uint32_t kCodeLengthRootBits = 7;
inline constexpr uint32_t kCodeLengthSymbols = 19;
inline constexpr uint32_t kLengthSymbols = 288;  // 286 and 287 are never valid
inline constexpr uint32_t kDistanceSymbols = 32;
inline constexpr uint32_t kEndOfBlockSymbol = 256;
inline constexpr uint32_t kDeflateMaxMatch = 258;
// The order in which a dynamic block header sends the code-length code's lengths.
inline constexpr uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                 11, 4,  12, 3, 13, 2, 14, 1, 15};

using LengthSymbolTable = std::array<CodeEntry, kLengthSymbols>;
using DistanceSymbolTable = std::array<CodeEntry, kDistanceSymbols>;

// Length codes 257 to 285 (RFC 1951, 3.2.5).
inline constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,
                                             15, 17, 19, 23, 27, 31, 35, 43,  51,  59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance codes 0 to 31; Deflate64 alone uses the last two.
inline constexpr uint16_t kDistanceBase[32] = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,    33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025,  1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
inline constexpr uint8_t kDistanceExtra[32] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,  4,
                                               4, 5, 5,  6,  6,  7,  7,  8,  8,  9,  9,
                                               10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

// Deflate64 gives length code 285 sixteen extra bits on base 3 (lengths 3 to 65538).
constexpr LengthSymbolTable MakeLengthSymbols(bool deflate64) {
  LengthSymbolTable t{};
  for (uint32_t s = 0; s < 256; s++) t[s] = MakeEntry(kEntryLiteral, 0, 0, s);
  t[kEndOfBlockSymbol] = MakeEntry(kEntryEndOfBlock, 0, 0, 0);
  for (uint32_t i = 0; i < 29; i++) t[257 + i] = MakeEntry(kEntryBase, kLengthExtra[i], 0, kLengthBase[i]);
  if (deflate64) t[285] = MakeEntry(kEntryBase, kMaxExtraBits, 0, 3);
  t[286] = t[287] = kEntryInvalid;
  return t;
}

constexpr DistanceSymbolTable MakeDistanceSymbols(uint32_t validCodes) {
  DistanceSymbolTable t{};
  for (uint32_t s = 0; s < kDistanceSymbols; s++)
    t[s] = s < validCodes ? MakeEntry(kEntryBase, kDistanceExtra[s], 0, kDistanceBase[s]) : kEntryInvalid;
  return t;
}

inline constexpr uint32_t kFixedLengthTableSize = 1u << kLengthRootBits;
inline constexpr uint32_t kFixedDistanceTableSize = 1u << kDistanceRootBits;
using FixedLengthTable = std::array<CodeEntry, kFixedLengthTableSize>;
using FixedDistanceTable = std::array<CodeEntry, kFixedDistanceTableSize>;

// The fixed code's lengths (RFC 1951, 3.2.6): literal/lengths 8, 9, 7, 8 bits by range,
// distances all 5 bits.
constexpr uint16_t FixedLength(CodeKind kind, uint32_t symbol) {
  if (kind == kDistanceCodes) return 5;
  return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
}

template <size_t TableSize, size_t SymbolCount>
constexpr std::array<CodeEntry, TableSize> MakeFixedTable(CodeKind kind, uint32_t rootBits,
                                                          const CodeEntry* symbols) {
  uint16_t lengths[SymbolCount] = {};
  for (uint32_t s = 0; s < SymbolCount; s++) lengths[s] = FixedLength(kind, s);
  std::array<CodeEntry, TableSize> table{};
  uint16_t work[SymbolCount] = {};
  uint32_t used = 0;
  BuildCodeTable({kind, rootBits, TableSize, symbols}, lengths, SymbolCount, table.data(), work,
                 &used);
  return table;
}

// What sets the two decoders apart; everything else is one body.
struct DeflateVariant {
  uint32_t windowSize;
  uint32_t maxMatch;
  uint32_t maxDistanceCodes;
  LengthSymbolTable lengthSymbols;
  DistanceSymbolTable distanceSymbols;
  FixedLengthTable fixedLengths;
  FixedDistanceTable fixedDistances;
};

constexpr DeflateVariant MakeVariant(bool deflate64) {
  DeflateVariant v{};
  v.windowSize = deflate64 ? 65536 : 32768;
  v.maxMatch = deflate64 ? 65538 : kDeflateMaxMatch;
  v.maxDistanceCodes = deflate64 ? 32 : 30;
  v.lengthSymbols = MakeLengthSymbols(deflate64);
  v.distanceSymbols = MakeDistanceSymbols(v.maxDistanceCodes);
  v.fixedLengths = MakeFixedTable<kFixedLengthTableSize, kLengthSymbols>(
      kLiteralLengthCodes, kLengthRootBits, v.lengthSymbols.data());
  v.fixedDistances = MakeFixedTable<kFixedDistanceTableSize, kDistanceSymbols>(
      kDistanceCodes, kDistanceRootBits, v.distanceSymbols.data());
  return v;
}

inline constexpr DeflateVariant kDeflate = MakeVariant(false);
inline constexpr DeflateVariant kDeflate64 = MakeVariant(true);

// No distance code can reach past the window, so no decoder needs to check for it.
static_assert(kDistanceBase[29] + (1u << kDistanceExtra[29]) - 1 == 32768);
static_assert(kDistanceBase[31] + (1u << kDistanceExtra[31]) - 1 == 65536);
