// The fast level: each position takes the longest match its hash bucket offers, or a
// literal. Positions inside short matches are entered too, so that repeats of short
// strings stay findable; long matches are skipped over, which is where the time would go.
#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"

namespace {

constexpr uint32_t kEnterInsideUpTo = 16;  // matches this long have their inner positions entered

}  // namespace

uint32_t ParseGreedy(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit) {
  const uint32_t hashLimit = HashLimit(limit);
  uint32_t pos = start;
  while (pos < nominalEnd) {
    const Match m = pos < hashLimit ? FindInBucket(s, pos, limit) : Match{0, 0};
    if (m.length == 0) {
      RecordLiteral(s, s->buffer[pos]);
      pos++;
    } else {
      RecordMatch(s, m.length, m.distance);
      if (m.length <= kEnterInsideUpTo) {
        EnterInBuckets(s, pos + m.length);
      } else {
        s->hashedTo = pos + m.length;
      }
      pos += m.length;
    }
    if (ShouldEndBlock(s, pos - start)) break;
  }
  return pos;
}
