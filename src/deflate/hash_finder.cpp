// The hash-table and hash-chain match finders. Both hash four bytes; the chains also keep
// the latest position of each 3-byte hash, for the short near matches that are worth taking.
#include <algorithm>

#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"

namespace {

constexpr uint32_t kWindowMask = kWindowSize - 1;

inline bool InReach(uint32_t pos, uint32_t candidate) {
  return candidate < pos && pos - candidate <= kMaxSearchDistance;
}

inline void EnterInChain(ChainTables* t, const uint8_t* buffer, uint32_t pos) {
  const uint32_t h = Hash4(buffer + pos, kChainHashBits);
  t->previous[pos & kWindowMask] = t->heads[h];
  t->heads[h] = pos;
  t->hash3[Hash3(buffer + pos, kHash3Bits)] = pos;
}

}  // namespace

Match FindInBucket(DeflateState* s, uint32_t pos, uint32_t limit) {
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

void EnterInBuckets(DeflateState* s, uint32_t to) {
  const uint32_t end = std::min(to, HashLimit(s->bufferEnd));
  for (uint32_t pos = s->hashedTo; pos < end; pos++) {
    uint32_t* bucket = s->finder.fast.buckets[Hash4(s->buffer + pos, kFastHashBits)];
    bucket[1] = bucket[0];
    bucket[0] = pos;
  }
  s->hashedTo = std::max(s->hashedTo, to);
}

Match FindInChains(DeflateState* s, uint32_t pos, uint32_t limit, uint32_t beat, uint32_t maxChain,
                   uint32_t niceLength) {
  ChainTables* t = &s->finder.chains;
  const uint8_t* const buffer = s->buffer;
  const uint8_t* const p = buffer + pos;
  uint32_t candidate = t->heads[Hash4(p, kChainHashBits)];
  const uint32_t near = t->hash3[Hash3(p, kHash3Bits)];
  if (pos >= s->hashedTo) {
    EnterInChain(t, buffer, pos);
    s->hashedTo = pos + 1;
  }
  // Entered before (the first position of a block): start below it.
  while (candidate >= pos) candidate = t->previous[candidate & kWindowMask];

  const uint32_t most = std::min(kDeflateMaxMatch, limit - pos);
  const uint32_t nice = std::min(niceLength, most);
  Match best{beat, 0};
  if (beat < kMinMatch && InReach(pos, near) && pos - near <= kMaxNearDistance &&
      ((Load32(buffer + near) ^ Load32(p)) & 0xFFFFFF) == 0)
    best = {kMinMatch, pos - near};
  const uint32_t word = Load32(p);
  for (uint32_t left = maxChain; left > 0 && best.length < nice && InReach(pos, candidate); left--) {
    const uint8_t* const c = buffer + candidate;
    // The bytes that would make the match longer than the best are the likeliest to differ.
    const uint32_t probe = std::max(best.length, kMinMatch) - 3;
    if (Load32(c + probe) == Load32(p + probe) && Load32(c) == word) {
      const uint32_t length = kHashBytes + MatchLength(c + kHashBytes, p + kHashBytes, most - kHashBytes);
      if (length > best.length) best = {length, pos - candidate};
    }
    candidate = t->previous[candidate & kWindowMask];
  }
  return best.distance ? best : Match{0, 0};
}

void EnterInChains(DeflateState* s, uint32_t to) {
  const uint32_t end = std::min(to, HashLimit(s->bufferEnd));
  for (uint32_t pos = s->hashedTo; pos < end; pos++) EnterInChain(&s->finder.chains, s->buffer, pos);
  s->hashedTo = std::max(s->hashedTo, to);
}

void SlideBuckets(DeflateState* s, uint32_t amount) {
  SlideEntries(&s->finder.fast.buckets[0][0], (1u << kFastHashBits) * kFastBucketSize, amount);
}

void SlideChains(DeflateState* s, uint32_t amount) {
  ChainTables* t = &s->finder.chains;
  SlideEntries(t->heads, 1u << kChainHashBits, amount);
  SlideEntries(t->hash3, 1u << kHash3Bits, amount);
  SlideEntries(t->previous, kWindowSize, amount);
}

void SlideEntries(uint32_t* entries, uint32_t count, uint32_t amount) {
  for (uint32_t i = 0; i < count; i++) entries[i] = entries[i] >= amount ? entries[i] - amount : 0;
}
