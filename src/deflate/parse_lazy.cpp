// The normal level: a match found at a position is held back while the next position is
// searched; when that one finds a longer match, the first byte goes out as a literal and
// the longer match is held instead.
#include <algorithm>
#include <bit>

#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"

namespace {

constexpr uint32_t kGoodLength = 8;
// After this many positions in a row without a match the search steps over one more byte
// each time, up to 8: data that do not compress are searched less densely. A match
// resets the step.
constexpr uint32_t kMissesPerStep = 2048;

// A match's worth, weighing its length against the extra bits its distance costs: a match
// one byte longer but much farther back does not pay for the literal it leaves behind.
inline int32_t Worth(Match m) {
  return static_cast<int32_t>(4 * m.length) - static_cast<int32_t>(std::bit_width(m.distance));
}

}  // namespace

uint32_t ParseLazy(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit) {
  const LevelSettings* const l = s->settings;
  const uint32_t hashLimit = HashLimit(limit);
  // The look one byte on is shorter after a good match: it rarely finds a better one.
  auto find = [&](uint32_t at, uint32_t beat) {
    const uint32_t chain = beat >= kGoodLength ? l->maxChain / 4 : l->maxChain;
    return at < hashLimit ? FindInChains(s, at, limit, beat, chain, l->niceLength) : Match{0, 0};
  };
  uint32_t pos = start;
  Match held{0, 0};
  uint32_t misses = 0;
  bool holding = false;  // held is the match found at pos
  while (pos < nominalEnd) {
    if (!holding) held = find(pos, kMinMatch - 1);
    holding = false;
    if (held.length == 0) {
      pos = StepOverLiterals(s, pos, nominalEnd, &misses, kMissesPerStep);
    } else {
      misses = 0;
      const Match next = held.length < l->lazyLength ? find(pos + 1, held.length) : Match{0, 0};
      if (next.length > held.length && Worth(next) > Worth(held)) {
        RecordLiteral(s, s->buffer[pos]);
        pos++;
        held = next;
        holding = true;
      } else {
        RecordMatch(s, held.length, held.distance);
        EnterInChains(s, pos + held.length);
        pos += held.length;
      }
    }
    if (ShouldEndBlock(s, pos - start)) break;
  }
  return pos;
}
