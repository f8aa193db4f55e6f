// The binary-tree match finder of the best level. The positions sharing a 4-byte hash form
// a tree ordered by the bytes that follow them, newest at the root; entering a position walks
// down from the root, re-hanging the nodes it passes left or right of the new root, and meets
// the longest matches on the way. A 3-byte table adds the nearest short match.
#include <algorithm>

#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"

namespace {

constexpr uint32_t kWindowMask = kWindowSize - 1;

inline bool InReach(uint32_t pos, uint32_t candidate) {
  return candidate < pos && pos - candidate <= kMaxSearchDistance;
}

}  // namespace

uint32_t FindInTree(DeflateState* s, uint32_t pos, uint32_t limit, uint32_t maxDepth, uint32_t niceLength,
                    DeflateItem* found, bool record) {
  if (pos < s->hashedTo) return 0;  // entered already
  s->hashedTo = pos + 1;
  TreeTables* t = &s->finder.trees;
  const uint8_t* const buffer = s->buffer;
  const uint8_t* const p = buffer + pos;
  const uint32_t most = std::min(kDeflateMaxMatch, limit - pos);
  const uint32_t nice = std::min(niceLength, most);
  uint32_t count = 0, bestLength = kMinMatch - 1;

  uint32_t* const near = &t->hash3[Hash3(p, kHash3Bits)];
  // Any distance: the parse prices the match against the literals it would replace.
  if (record && InReach(pos, *near) &&
      ((Load32(buffer + *near) ^ Load32(p)) & 0xFFFFFF) == 0) {
    found[count++] = {static_cast<uint16_t>(kMinMatch), static_cast<uint16_t>(pos - *near)};
    bestLength = kMinMatch;
  }
  *near = pos;

  uint32_t* const head = &t->heads[Hash4(p, kTreeHashBits)];
  uint32_t candidate = *head;
  *head = pos;
  uint32_t* lesser = &t->children[2 * (pos & kWindowMask)];  // where the next smaller node hangs
  uint32_t* greater = lesser + 1;
  uint32_t lesserLength = 0, greaterLength = 0;  // bytes known equal on each side
  for (uint32_t depth = maxDepth; depth > 0 && InReach(pos, candidate); depth--) {
    const uint8_t* const c = buffer + candidate;
    uint32_t* const children = &t->children[2 * (candidate & kWindowMask)];
    uint32_t length = std::min(lesserLength, greaterLength);
    length += MatchLength(c + length, p + length, most - length);
    if (length > bestLength) {
      bestLength = length;
      if (record) found[count++] = {static_cast<uint16_t>(length), static_cast<uint16_t>(pos - candidate)};
    }
    if (length >= nice) {
      // As good as it gets: the new root takes this node's subtrees and the node drops out.
      *lesser = children[0];
      *greater = children[1];
      return count;
    }
    if (c[length] < p[length]) {
      *lesser = candidate;
      lesser = &children[1];
      lesserLength = length;
      candidate = *lesser;
    } else {
      *greater = candidate;
      greater = &children[0];
      greaterLength = length;
      candidate = *greater;
    }
  }
  *lesser = 0;
  *greater = 0;
  return count;
}

void SlideTrees(DeflateState* s, uint32_t amount) {
  TreeTables* t = &s->finder.trees;
  SlideEntries(t->heads, 1u << kTreeHashBits, amount);
  SlideEntries(t->hash3, 1u << kHash3Bits, amount);
  SlideEntries(t->children, 2 * kWindowSize, amount);
}
