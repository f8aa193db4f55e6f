// What the parsers share: the level settings, symbol lookups, recording items with their
// counts and split classes, and the comparison that measures a match.
#pragma once

#include <array>
#include <bit>
#include <algorithm>
#include <cstdint>

#include "deflate/deflate_state.h"

// Parses the block that starts at `start`: items until the block reaches nominalEnd, or
// until block splitting ends it sooner. Matches stop at `limit` (the buffered input's end).
// Returns the block's end.
using ParseFunction = uint32_t (*)(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit);

using SlideFunction = void (*)(DeflateState* s, uint32_t amount);

struct LevelSettings {
  ParseFunction parse;
  SlideFunction slide;   // of the parser's match finder; none for the fast level's
  uint32_t blockInput;   // nominal input of a block
  uint32_t maxChain;     // candidates a search looks at
  uint32_t niceLength;   // a match this long ends the search
  uint32_t lazyLength;   // a match this long is taken without looking one byte on
  uint32_t passes;       // cost-model rounds of the optimal parser
  uint32_t splitTries;   // places a parsed block is tried cut into two blocks (0: never)
  uint32_t smoothCodes;  // blocks also priced under codes shaped for a shorter header
};

uint32_t ParseGreedy(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit);
uint32_t ParseLazy(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit);
uint32_t ParseOptimal(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit);

// Length symbols 257 to 285 for lengths 0 to 258 (those below 3 are unused).
constexpr std::array<uint16_t, kDeflateMaxMatch + 1> MakeLengthSymbols() {
  std::array<uint16_t, kDeflateMaxMatch + 1> t{};
  for (uint32_t code = 0; code < 29; code++)
    for (uint32_t n = 0; n < (1u << kLengthExtra[code]); n++)
      if (kLengthBase[code] + n <= kDeflateMaxMatch)
        t[kLengthBase[code] + n] = static_cast<uint16_t>(257 + code);
  t[kDeflateMaxMatch] = 285;  // 258 has its own code, not 284 with all extra bits set
  return t;
}
inline constexpr std::array<uint16_t, kDeflateMaxMatch + 1> kLengthSymbolOf = MakeLengthSymbols();

// Distance codes without a table or a branch: past the first four, each power of two of
// distance - 1 holds two codes, told apart by the bit below the top one.
constexpr uint32_t DistanceCode(uint32_t distance) {
  const uint32_t d = distance - 1;
  const uint32_t width = static_cast<uint32_t>(std::bit_width(d | 1));
  return 2 * (width - 1) + (d >> (std::max(width, 2u) - 2) & 1);
}
constexpr bool DistanceCodesHold() {
  for (uint32_t code = 0; code < 30; code++)
    for (uint32_t d = kDistanceBase[code]; d < kDistanceBase[code] + (1u << kDistanceExtra[code]); d++)
      if (DistanceCode(d) != code) return false;
  return true;
}
static_assert(DistanceCodesHold(), "every distance maps to its code");

inline void RecordLiteral(DeflateState* s, uint8_t byte) {
  s->items[s->itemCount++] = {byte, 0};
  s->literalLengthCounts[byte]++;
}

// Where no match was found: records the literals of a step that grows with the misses in a
// row (one more byte for every missesPerStep, at most 8) and returns the position behind them.
inline uint32_t StepOverLiterals(DeflateState* s, uint32_t pos, uint32_t end, uint32_t* misses, uint32_t missesPerStep) {
  constexpr uint32_t kMaxStep = 8;
  const uint32_t step = std::min({1 + (*misses)++ / missesPerStep, kMaxStep, end - pos});
  for (uint32_t i = 0; i < step; i++) RecordLiteral(s, s->buffer[pos + i]);
  pos += step;
  s->hashedTo = std::max(s->hashedTo, pos);
  return pos;
}

inline void RecordMatch(DeflateState* s, uint32_t length, uint32_t distance) {
  s->items[s->itemCount++] = {static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
  s->literalLengthCounts[kLengthSymbolOf[length]]++;
  s->distanceCounts[DistanceCode(distance)]++;
}

// True when the items since the last check differ enough from the block so far that a new
// block should start; otherwise they join the block's classes. Call when kSplitCheckEvery
// items have been recorded since the last check.
bool RecentItemsStartNewBlock(DeflateState* s, uint32_t blockLength);

inline bool ShouldEndBlock(DeflateState* s, uint32_t blockLength) {
  return s->itemCount - s->split.checkedItems >= kSplitCheckEvery && RecentItemsStartNewBlock(s, blockLength);
}

// All ones when the condition holds, else 0: for choosing without a branch.
inline uint32_t MaskIf(bool condition) { return 0u - static_cast<uint32_t>(condition); }

// Length of the common prefix of a and b, at most `most` bytes.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t most) {
  uint32_t n = 0;
  while (n + 8 <= most) {
    const uint64_t x = Load64(a + n) ^ Load64(b + n);
    if (x) return n + static_cast<uint32_t>(std::countr_zero(x)) / 8;
    n += 8;
  }
  while (n < most && a[n] == b[n]) n++;
  return n;
}

inline uint32_t HashOf(uint32_t word, uint32_t bits) { return (word * 0x1E35A7BDu) >> (32 - bits); }
inline uint32_t Hash4(const uint8_t* p, uint32_t bits) { return HashOf(Load32(p), bits); }
inline uint32_t Hash3(const uint8_t* p, uint32_t bits) { return HashOf(Load32(p) & 0xFFFFFF, bits); }
