// The best level: near-optimal parsing. Every match of a block is found first (the nearest
// of each length, from the binary trees); then the cheapest way through the block is found
// backwards, position by position, under a model of what each literal, length and distance
// costs. The model is then rebuilt from the prefix code that way would get, and the search
// repeated, so that the choices and the code settle on each other. A block starts from the
// model its predecessor ended with: neighbouring data are alike, and a start near the
// answer settles on a better one, in fewer rounds, than any fixed guess.
#include <algorithm>
#include <cmath>

#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"
#include "deflate/prefix_code.h"

namespace {

constexpr uint32_t kCostScale = 16;  // costs in sixteenths of a bit
// Guesses before any code exists, and for symbols the last code left out.
constexpr uint32_t kFirstLengthBits = 6;
constexpr uint32_t kFirstDistanceBits = 5;
constexpr uint32_t kUnusedLiteralLengthBits = 13;
constexpr uint32_t kUnusedDistanceBits = 9;
constexpr uint32_t kMaxLiteralBits = 15;

using CostModel = OptimalCosts;

void SetMatchCosts(CostModel* m, const uint8_t* lengthBits, const uint8_t* distanceBits) {
  for (uint32_t n = kMinMatch; n <= kDeflateMaxMatch; n++) {
    const uint32_t sym = kLengthSymbolOf[n];
    m->length[n] = kCostScale * (lengthBits[sym - 257] + kLengthExtra[sym - 257]);
  }
  for (uint32_t d = 0; d < kMaxDistanceCodes; d++) m->distance[d] = kCostScale * (distanceBits[d] + kDistanceExtra[d]);
}

// For a stream's first block: literals by how often each byte occurs in the block, matches
// by fixed guesses.
void FirstCosts(CostModel* m, const uint8_t* bytes, uint32_t count) {
  uint32_t seen[256] = {};
  for (uint32_t i = 0; i < count; i++) seen[bytes[i]]++;
  for (uint32_t b = 0; b < 256; b++) {
    const double bits = seen[b] ? std::log2(static_cast<double>(count) / seen[b]) : kMaxLiteralBits;
    m->literal[b] = static_cast<uint32_t>(kCostScale * std::clamp(bits, 1.0, double{kMaxLiteralBits}));
  }
  uint8_t lengthBits[kMaxLengthCodes - 257], distanceBits[kMaxDistanceCodes];
  std::fill(std::begin(lengthBits), std::end(lengthBits), static_cast<uint8_t>(kFirstLengthBits));
  std::fill(std::begin(distanceBits), std::end(distanceBits), static_cast<uint8_t>(kFirstDistanceBits));
  SetMatchCosts(m, lengthBits, distanceBits);
}

// The model of the code the state's counts would get.
void CostsFromCounts(CostModel* m, const DeflateState* s) {
  uint8_t lengths[kMaxLengthCodes], distanceLengths[kMaxDistanceCodes];
  BuildCodeLengths(s->literalLengthCounts, kMaxLengthCodes, kMaxCodeBits, lengths);
  BuildCodeLengths(s->distanceCounts, kMaxDistanceCodes, kMaxCodeBits, distanceLengths);
  for (uint8_t& b : lengths) b = b ? b : static_cast<uint8_t>(kUnusedLiteralLengthBits);
  for (uint8_t& b : distanceLengths) b = b ? b : static_cast<uint8_t>(kUnusedDistanceBits);
  for (uint32_t b = 0; b < 256; b++) m->literal[b] = kCostScale * lengths[b];
  SetMatchCosts(m, lengths + 257, distanceLengths);
}

// Fills cost and choice from the block's end back to its start. matchesEnd is the end of
// the block's matches in the cache.
void FindCheapestWay(TreeTables* t, const CostModel* m, const uint8_t* bytes, uint32_t count, uint32_t matchesEnd) {
  t->cost[count] = 0;
  uint32_t next = matchesEnd;
  for (uint32_t i = count; i-- > 0;) {
    uint32_t best = m->literal[bytes[i]] + t->cost[i + 1];
    DeflateItem choice{1, 0};
    const uint32_t found = t->matchCount[i];
    next -= found;
    const uint32_t room = count - i;
    uint32_t shorter = kMinMatch - 1;
    for (const DeflateItem* match = t->matches + next; match < t->matches + next + found && shorter < room; match++) {
      const uint32_t longest = std::min<uint32_t>(match->length, room);
      // The match's cheapest length first, by selects: which length wins is what a branch
      // would guess. The first of equal costs wins, as before.
      uint32_t lengthBest = UINT32_MAX, lengthTaken = 0;
      for (uint32_t n = shorter + 1; n <= longest; n++) {
        const uint32_t c = m->length[n] + t->cost[i + n];
        const bool cheaper = c < lengthBest;
        lengthBest = cheaper ? c : lengthBest;
        lengthTaken = cheaper ? n : lengthTaken;
      }
      const uint32_t c = lengthBest + m->distance[DistanceCode(match->distance)];
      if (c < best) {
        best = c;
        choice = {static_cast<uint16_t>(lengthTaken), match->distance};
      }
      shorter = longest;
    }
    t->cost[i] = best;
    t->choice[i] = choice;
  }
}

// Counts the items of the cheapest way as the state's block counts.
void CountWay(DeflateState* s, const uint8_t* bytes, uint32_t count) {
  std::memset(s->literalLengthCounts, 0, sizeof s->literalLengthCounts);
  std::memset(s->distanceCounts, 0, sizeof s->distanceCounts);
  s->literalLengthCounts[kEndOfBlockSymbol] = 1;
  for (uint32_t i = 0; i < count;) {
    const DeflateItem c = s->finder.trees.choice[i];
    if (c.distance == 0) {
      s->literalLengthCounts[bytes[i]]++;
    } else {
      s->literalLengthCounts[kLengthSymbolOf[c.length]]++;
      s->distanceCounts[DistanceCode(c.distance)]++;
    }
    i += c.length;
  }
}

}  // namespace

uint32_t ParseOptimal(DeflateState* s, uint32_t start, uint32_t nominalEnd, uint32_t limit) {
  const LevelSettings* const l = s->settings;
  TreeTables* const t = &s->finder.trees;
  const uint32_t hashLimit = HashLimit(limit);
  const uint32_t count = nominalEnd - start;
  const uint8_t* const bytes = s->buffer + start;

  // Positions inside a match of niceLength or more are only entered: the long match is
  // what the parse will take there. When the cache is full the rest are only entered too.
  uint32_t used = 0, skipTo = start;
  for (uint32_t i = 0; i < count; i++) {
    const uint32_t pos = start + i;
    uint32_t found = 0;
    if (pos < hashLimit) {
      const bool record = pos >= skipTo && used + kDeflateMaxMatch <= kMatchCacheSize;
      found = FindInTree(s, pos, limit, l->maxChain, l->niceLength, t->matches + used, record);
      if (found && t->matches[used + found - 1].length >= l->niceLength)
        skipTo = pos + t->matches[used + found - 1].length;
    }
    t->matchCount[i] = static_cast<uint16_t>(found);
    used += found;
  }

  CostModel& model = t->lastCosts;
  if (!t->lastCostsKnown) FirstCosts(&model, bytes, count);
  t->lastCostsKnown = 1;
  for (uint32_t pass = 0; pass < l->passes; pass++) {
    if (pass > 0) {
      CountWay(s, bytes, count);
      CostsFromCounts(&model, s);
    }
    FindCheapestWay(t, &model, bytes, count, used);
  }

  std::memset(s->literalLengthCounts, 0, sizeof s->literalLengthCounts);
  std::memset(s->distanceCounts, 0, sizeof s->distanceCounts);
  for (uint32_t i = 0; i < count;) {
    const DeflateItem c = t->choice[i];
    if (c.distance == 0) {
      RecordLiteral(s, bytes[i]);
      i++;
    } else {
      RecordMatch(s, c.length, c.distance);
      i += c.length;
    }
  }
  return nominalEnd;
}
