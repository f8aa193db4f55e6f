// The fast level: each position takes the longest match its hash bucket offers (a bucket
// keeps the latest two positions of a 4-byte hash), or a literal. Positions inside short matches are entered too, so that repeats of short
// strings stay findable; long matches are skipped over, which is where the time would go.
#include <algorithm>

#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"

namespace {

constexpr uint32_t kEnterInsideUpTo = 16;  // matches this long have their inner positions entered
// After this many positions in a row without a match the search steps over one more byte
// each time, up to 8, so that data that do not compress pass quickly while
// compressible data behind them are found again within a few bytes. A match resets the step.
constexpr uint32_t kMissesPerStep = 32;

inline bool InReach(uint32_t pos, uint32_t candidate) {
  return candidate < pos && pos - candidate <= kMaxSearchDistance;
}

inline Match FindInBucket(DeflateState* s, uint32_t pos, uint32_t limit) {
  uint32_t* bucket = s->finder.fast.buckets[Hash4(s->buffer + pos, kFastHashBits)];
  const uint32_t first = bucket[0], second = bucket[1];
  if (pos >= s->hashedTo) {
    bucket[1] = first;
    bucket[0] = pos;
    s->hashedTo = pos + 1;
  }
  const uint8_t* const p = s->buffer + pos;
  const uint32_t word = Load32(p);
  const uint32_t most = std::min(kDeflateMaxMatch, limit - pos);
  Match best{0, 0};
  for (const uint32_t candidate : {first, second}) {
    if (!InReach(pos, candidate) || Load32(s->buffer + candidate) != word) continue;
    const uint32_t length = kHashBytes + MatchLength(s->buffer + candidate + kHashBytes, p + kHashBytes, most - kHashBytes);
    if (length > best.length) best = {length, pos - candidate};
  }
  return best;
}

inline void EnterInBuckets(DeflateState* s, uint32_t to) {
  const uint32_t end = std::min(to, HashLimit(s->bufferEnd));
  for (uint32_t pos = s->hashedTo; pos < end; pos++) {
    uint32_t* bucket = s->finder.fast.buckets[Hash4(s->buffer + pos, kFastHashBits)];
    bucket[1] = bucket[0];
    bucket[0] = pos;
  }
  s->hashedTo = std::max(s->hashedTo, to);
}

}  // namespace

void SlideBuckets(DeflateState* s, uint32_t amount) {
  SlideEntries(&s->finder.fast.buckets[0][0], (1u << kFastHashBits) * kFastBucketSize, amount);
}

uint32_t ParseGreedy(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit) {
  const uint32_t hashLimit = HashLimit(limit);
  uint32_t pos = start;
  uint32_t misses = 0;
  while (pos < nominalEnd) {
    const Match m = pos < hashLimit ? FindInBucket(s, pos, limit) : Match{0, 0};
    if (m.length == 0) {
      pos = StepOverLiterals(s, pos, nominalEnd, &misses, kMissesPerStep);
    } else {
      misses = 0;
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
