// The hash-chain match finder of the normal level. Chains link the positions of each 4-byte
// hash; a table keeps the latest position of each 3-byte hash, for the short near matches
// that are worth taking.
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

void SlideChains(DeflateState* s, uint32_t amount) {
  ChainTables* t = &s->finder.chains;
  SlideEntries(t->heads, 1u << kChainHashBits, amount);
  SlideEntries(t->hash3, 1u << kHash3Bits, amount);
  SlideEntries(t->previous, kWindowSize, amount);
}

// Entries and amounts stay below 2^31, so the sign of the difference says what falls out;
// signed arithmetic keeps the loop in the vector instructions every x86-64 has.
void SlideEntries(uint32_t* entries, uint32_t count, uint32_t amount) {
  static_assert(kBufferCapacity < (1u << 31));
  for (uint32_t i = 0; i < count; i++) {
    const int32_t moved = static_cast<int32_t>(entries[i] - amount);
    entries[i] = static_cast<uint32_t>(moved & ~(moved >> 31));
  }
}
