// Huffman's construction on sorted counts with two queues (leaves and merged nodes both come
// out in order of weight), then, when the tree is too deep, the lengths are reshaped as
// counts per length: the deepest pair of leaves moves up one level and a shallower leaf
// moves down to pair with its old sibling. The least frequent symbols take the longest codes.
#include "deflate/prefix_code.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "deflate/code_table.h"

namespace {

constexpr uint32_t kMaxSymbols = 288;

// A leaf is its weight above its symbol in one integer: integers sort faster than records,
// and ties between weights go by symbol, so that equal inputs give equal codes.
using Leaf = uint32_t;
constexpr uint32_t kSymbolBits = 9;
static_assert(kMaxSymbols <= 1u << kSymbolBits && kCountLimit <= 1u << (32 - kSymbolBits));

inline uint32_t WeightOf(Leaf leaf) { return leaf >> kSymbolBits; }
inline uint32_t SymbolOf(Leaf leaf) { return leaf & ((1u << kSymbolBits) - 1); }

// Many leaves sort by their weight a byte at a time, least significant first: each pass
// keeps the order of equal bytes, and the leaves start in symbol order. Comparisons would
// guess wrong about half the time; below kRadixFrom leaves they cost less all the same.
constexpr uint32_t kDigitBits = 8;
constexpr uint32_t kRadixFrom = 48;

void RadixSortByWeight(Leaf* leaves, uint32_t n) {
  Leaf spare[kMaxSymbols];
  Leaf* from = leaves;
  Leaf* to = spare;
  uint32_t all = 0;
  for (uint32_t i = 0; i < n; i++) all |= leaves[i];
  const uint32_t weightBits = static_cast<uint32_t>(std::bit_width(WeightOf(all)));
  for (uint32_t shift = kSymbolBits; shift < kSymbolBits + weightBits; shift += kDigitBits) {
    uint32_t next[1u << kDigitBits] = {};
    for (uint32_t i = 0; i < n; i++) next[from[i] >> shift & ((1u << kDigitBits) - 1)]++;
    for (uint32_t d = 0, at = 0; d < (1u << kDigitBits); d++) at += std::exchange(next[d], at);
    for (uint32_t i = 0; i < n; i++) to[next[from[i] >> shift & ((1u << kDigitBits) - 1)]++] = from[i];
    std::swap(from, to);
  }
  if (from != leaves) std::copy(from, from + n, leaves);
}

uint32_t SortedLeaves(const uint32_t* counts, uint32_t count, Leaf* leaves) {
  uint32_t n = 0;
  for (uint32_t s = 0; s < count; s++)
    if (counts[s]) leaves[n++] = counts[s] << kSymbolBits | s;
  if (n >= kRadixFrom) {
    RadixSortByWeight(leaves, n);
  } else {
    std::sort(leaves, leaves + n);
  }
  return n;
}

// Fills perDepth with the number of leaves at each depth of the Huffman tree of n >= 2 leaves.
void CountLeavesPerDepth(const Leaf* leaves, uint32_t n, uint32_t* perDepth) {
  uint32_t weight[kMaxSymbols];  // merged nodes, made in order of weight
  uint32_t parent[kMaxSymbols];  // of merged nodes
  uint32_t leafParent[kMaxSymbols];
  uint32_t nextLeaf = 0, nextNode = 0;
  for (uint32_t made = 0; made + 1 < n; made++) {
    uint32_t sum = 0;
    for (int pick = 0; pick < 2; pick++) {
      const bool leafFirst = nextLeaf < n && (nextNode == made || WeightOf(leaves[nextLeaf]) <= weight[nextNode]);
      if (leafFirst) {
        sum += WeightOf(leaves[nextLeaf]);
        leafParent[nextLeaf++] = made;
      } else {
        sum += weight[nextNode];
        parent[nextNode++] = made;
      }
    }
    weight[made] = sum;
  }
  // The root is the last node made; depths follow parents from the root down.
  uint32_t depth[kMaxSymbols];
  depth[n - 2] = 0;
  for (uint32_t k = n - 2; k-- > 0;) depth[k] = depth[parent[k]] + 1;
  for (uint32_t i = 0; i < n; i++) perDepth[std::min(depth[leafParent[i]] + 1, kMaxSymbols - 1)]++;
}

// Moves leaves from depths past maxBits up, keeping the code complete.
void LimitDepth(uint32_t* perDepth, uint32_t maxBits) {
  for (uint32_t d = kMaxSymbols - 1; d > maxBits; d--) {
    while (perDepth[d] > 0) {
      uint32_t shallow = d - 2;
      while (perDepth[shallow] == 0) shallow--;
      perDepth[d] -= 2;          // a pair of leaves leaves the deepest level:
      perDepth[d - 1] += 1;      // one takes its parent's place,
      perDepth[shallow] -= 1;    // the other pairs with a leaf moved down from `shallow`
      perDepth[shallow + 1] += 2;
    }
  }
}

}  // namespace

void BuildCodeLengths(const uint32_t* counts, uint32_t count, uint32_t maxBits, uint8_t* lengths) {
  std::fill(lengths, lengths + count, uint8_t{0});
  Leaf leaves[kMaxSymbols];
  const uint32_t n = SortedLeaves(counts, count, leaves);
  if (n < 2) {
    // A lone symbol (or none) still gets a one-bit code, beside a spare one.
    const uint32_t used = n == 1 ? SymbolOf(leaves[0]) : 0;
    lengths[used] = 1;
    lengths[used == 0 ? 1 : 0] = 1;
    return;
  }
  uint32_t perDepth[kMaxSymbols] = {};
  CountLeavesPerDepth(leaves, n, perDepth);
  LimitDepth(perDepth, maxBits);
  // Longest codes to the least frequent leaves.
  uint32_t i = 0;
  for (uint32_t d = maxBits; d >= 1; d--)
    for (uint32_t k = 0; k < perDepth[d]; k++) lengths[SymbolOf(leaves[i++])] = static_cast<uint8_t>(d);
}

void AssignCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes) {
  uint32_t perLength[kMaxCodeBits + 1] = {};
  for (uint32_t s = 0; s < count; s++) perLength[lengths[s]]++;
  perLength[0] = 0;
  uint32_t next[kMaxCodeBits + 1] = {};
  for (uint32_t l = 1, code = 0; l <= kMaxCodeBits; l++) {
    code = (code + perLength[l - 1]) << 1;
    next[l] = code;
  }
  for (uint32_t s = 0; s < count; s++)
    codes[s] = lengths[s] ? static_cast<uint16_t>(ReverseBits(next[lengths[s]]++, lengths[s])) : uint16_t{0};
}
