// The fast level: each position takes the longest match its hash bucket offers (a bucket
// keeps the latest two positions of a 4-byte hash), or a literal. Positions inside short
// matches are entered too, so that repeats of short strings stay findable; long matches are
// skipped over, which is where the time would go. The loop keeps the block's items and its
// position in locals: stores to the counts could otherwise alias them.
#include <algorithm>

#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"

namespace {

constexpr uint32_t kEnterInsideUpTo = 16;  // matches this long have their inner positions entered
// After this many positions in a row without a match the search steps over one more byte
// each time, up to kMaxStep, so that data that do not compress pass quickly while
// compressible data behind them are found again within a few bytes. A match resets the step.
constexpr uint32_t kMissesPerStep = 32;
constexpr uint32_t kMaxStep = 8;

using Bucket = FastEntry[kFastBucketSize];
static_assert(kFastBucketSize == 2, "FindInBucket looks at two positions");

inline FastEntry EntryOf(uint32_t pos) { return static_cast<FastEntry>(pos); }
// How far back an entry lies from pos, folded into the window (see FastEntry): 0 to
// kMaxSearchDistance, 0 for pos itself.
inline uint32_t FoldedDistance(uint32_t pos, FastEntry entry) { return (pos - entry) & kFastDistanceMask; }

// The longer match of the bucket's positions (length 0: none); pos becomes its newest entry.
// A candidate lies its entry's folded distance back and must begin with pos's four bytes;
// distance 0 is refused. Both are tested before one branch: whether a candidate matches is
// what the branches would guess.
inline Match FindInBucket(Bucket& bucket, const uint8_t* buffer, uint32_t pos, uint32_t most) {
  const uint32_t first = FoldedDistance(pos, bucket[0]), second = FoldedDistance(pos, bucket[1]);
  bucket[1] = bucket[0];
  bucket[0] = EntryOf(pos);
  const uint8_t* const p = buffer + pos;
  const uint32_t word = Load32(p);
  const uint32_t firstMatches = MaskIf(Load32(p - first) == word) & first;
  const uint32_t secondMatches = MaskIf(Load32(p - second) == word) & second;
  if ((firstMatches | secondMatches) == 0) return {0, 0};
  Match best{0, 0};
  if (firstMatches)
    best = {kHashBytes + MatchLength(p - first + kHashBytes, p + kHashBytes, most - kHashBytes), first};
  if (secondMatches) {
    const uint32_t length = kHashBytes + MatchLength(p - second + kHashBytes, p + kHashBytes, most - kHashBytes);
    if (length > best.length) best = {length, second};
  }
  return best;
}

inline void EnterInBucket(Bucket* buckets, const uint8_t* buffer, uint32_t pos) {
  Bucket& bucket = buckets[Hash4(buffer + pos, kFastHashBits)];
  bucket[1] = bucket[0];
  bucket[0] = EntryOf(pos);
}

// The items of the block being parsed, in registers while the loop runs.
struct Recorder {
  DeflateItem* items;
  uint32_t count;
  uint32_t* literalLengthCounts;
  uint32_t* distanceCounts;
};

inline void AddLiteral(Recorder& r, uint8_t byte) {
  r.items[r.count++] = {byte, 0};
  r.literalLengthCounts[byte]++;
}

inline void AddMatch(Recorder& r, Match m) {
  r.items[r.count++] = {static_cast<uint16_t>(m.length), static_cast<uint16_t>(m.distance)};
  r.literalLengthCounts[kLengthSymbolOf[m.length]]++;
  r.distanceCounts[DistanceCode(m.distance)]++;
}

}  // namespace

// Every position the parse searches is new to the table: a match enters its inner positions
// or none of them, and stepped-over literals are never entered. s->hashedTo goes unused.
uint32_t ParseGreedy(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit) {
  const uint8_t* const buffer = s->buffer;
  Bucket* const buckets = s->finder.fast.buckets;
  const uint32_t hashLimit = HashLimit(limit);
  const uint32_t searchEnd = std::min(nominalEnd, hashLimit);
  Recorder r{s->items, s->itemCount, s->literalLengthCounts, s->distanceCounts};
  uint32_t nextCheck = s->split.checkedItems + kSplitCheckEvery;
  uint32_t pos = start, misses = 0;
  while (pos < nominalEnd) {
    Match m{0, 0};
    if (pos < searchEnd) {
      m = FindInBucket(buckets[Hash4(buffer + pos, kFastHashBits)], buffer, pos, std::min(kDeflateMaxMatch, limit - pos));
    }
    if (m.length != 0) {
      misses = 0;
      AddMatch(r, m);
      if (m.length <= kEnterInsideUpTo) {
        const uint32_t end = std::min(pos + m.length, hashLimit);
        for (uint32_t inner = pos + 1; inner < end; inner++) EnterInBucket(buckets, buffer, inner);
      }
      pos += m.length;
    } else if (misses < kMissesPerStep) {
      // A step of one byte, the usual miss, needs no bounds: the loop's holds.
      misses++;
      AddLiteral(r, buffer[pos++]);
    } else {
      const uint32_t step = std::min({1 + misses++ / kMissesPerStep, kMaxStep, nominalEnd - pos});
      for (uint32_t i = 0; i < step; i++) AddLiteral(r, buffer[pos + i]);
      pos += step;
    }
    if (r.count >= nextCheck) {
      s->itemCount = r.count;
      if (RecentItemsStartNewBlock(s, pos - start)) break;
      nextCheck = s->split.checkedItems + kSplitCheckEvery;
    }
  }
  s->itemCount = r.count;
  return pos;
}
