// Finding earlier occurrences of the bytes at a position: hash chains for the normal level,
// binary trees for the best level (the fast level's table is its parser's own). Each
// keeps positions of the buffer; s->hashedTo tells which positions are in already, so a
// position is never entered twice.
#pragma once

#include <cstdint>

#include "deflate/deflate_state.h"

struct Match {
  uint32_t length;  // 0: none
  uint32_t distance;
};

// Enters the positions from s->hashedTo up to `to` (those that can be hashed) in the
// chains. The longest match longer than `beat` (3 bytes only when near), looking at maxChain
// candidates at most and stopping at one of niceLength; enters pos.
void EnterInChains(DeflateState* s, uint32_t to);
Match FindInChains(DeflateState* s, uint32_t pos, uint32_t limit, uint32_t beat, uint32_t maxChain,
                   uint32_t niceLength);

// Matches of growing length at pos, each the nearest of its length, into `found` (room for
// kDeflateMaxMatch); enters pos in its tree. Returns their count. When `record` is false
// the position is only entered.
uint32_t FindInTree(DeflateState* s, uint32_t pos, uint32_t limit, uint32_t maxDepth, uint32_t niceLength,
                    DeflateItem* found, bool record);

// Moves every entry `amount` positions down, as the buffer slides; entries that would fall
// before the buffer become 0, which no search takes.
void SlideEntries(uint32_t* entries, uint32_t count, uint32_t amount);
void SlideChains(DeflateState* s, uint32_t amount);
void SlideTrees(DeflateState* s, uint32_t amount);

// The most a 3-byte match may reach back for the parsers that do not price their matches:
// farther, its distance bits usually cost more than the three literals it replaces.
inline constexpr uint32_t kMaxNearDistance = 4096;

// Positions from which a hash can be read before `limit`.
inline uint32_t HashLimit(uint32_t limit) { return limit >= kHashBytes ? limit - kHashBytes + 1 : 0; }
