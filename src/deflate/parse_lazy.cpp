// The normal level: a match found at a position is held back while the next position is
// searched; when that one finds a longer match, the first byte goes out as a literal and
// the longer match is held instead.
#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"

uint32_t ParseLazy(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit) {
  const LevelSettings* const l = s->settings;
  const uint32_t hashLimit = HashLimit(limit);
  auto find = [&](uint32_t at, uint32_t beat) {
    return at < hashLimit ? FindInChains(s, at, limit, beat, l->maxChain, l->niceLength) : Match{0, 0};
  };
  uint32_t pos = start;
  Match held{0, 0};
  bool holding = false;  // held is the match found at pos
  while (pos < nominalEnd) {
    if (!holding) held = find(pos, kMinMatch - 1);
    holding = false;
    if (held.length == 0) {
      RecordLiteral(s, s->buffer[pos]);
      pos++;
    } else {
      const Match next = held.length < l->lazyLength ? find(pos + 1, held.length) : Match{0, 0};
      if (next.length > held.length) {
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
