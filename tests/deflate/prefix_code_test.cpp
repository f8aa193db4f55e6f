// Code lengths from symbol counts: the cost of Huffman's code whenever the limit allows it,
// whatever way the leaves are sorted (few leaves, or many with weights of one to three
// bytes), and ties between equal weights settled by symbol, so equal inputs give equal codes.
#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <queue>
#include <random>
#include <vector>

#include "deflate/code_table.h"
#include "deflate/prefix_code.h"
#include "support/case_name.h"

namespace {

struct LengthCase {
  const char* what;
  std::vector<uint32_t> counts;
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.what; }

// A quarter of the symbols unused, the others from least to most, a range narrow enough that
// Huffman's code stays within the length limit.
std::vector<uint32_t> RandomCounts(uint32_t symbols, uint32_t least, uint32_t most, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint32_t> counts(symbols);
  for (uint32_t& c : counts) c = random() % 4 == 0 ? 0 : least + random() % (most - least + 1);
  return counts;
}

// Huffman's cost, sum of count times depth, as the sum of all merged weights.
uint64_t HuffmanCost(const std::vector<uint32_t>& counts) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> queue;
  for (uint32_t c : counts)
    if (c) queue.push(c);
  uint64_t cost = 0;
  while (queue.size() > 1) {
    const uint64_t a = queue.top();
    queue.pop();
    const uint64_t b = queue.top();
    queue.pop();
    cost += a + b;
    queue.push(a + b);
  }
  return cost;
}

using CodeLengths = testing::TestWithParam<LengthCase>;

TEST_P(CodeLengths, CostAsMuchAsHuffmansCodeAndFillTheCode) {
  const std::vector<uint32_t>& counts = GetParam().counts;
  std::vector<uint8_t> lengths(counts.size());
  BuildCodeLengths(counts.data(), static_cast<uint32_t>(counts.size()), kMaxCodeBits, lengths.data());
  uint64_t cost = 0;
  double kraft = 0;
  for (size_t s = 0; s < counts.size(); s++) {
    EXPECT_EQ(counts[s] == 0, lengths[s] == 0) << "symbol " << s;
    cost += uint64_t{counts[s]} * lengths[s];
    if (lengths[s]) kraft += 1.0 / (1u << lengths[s]);
  }
  EXPECT_EQ(cost, HuffmanCost(counts));
  EXPECT_EQ(kraft, 1.0);
}

const LengthCase kLengthCases[] = {
    {"few symbols", RandomCounts(19, 1, 300, 1)},
    {"many symbols, weights of one byte", RandomCounts(286, 1, 255, 2)},
    {"many symbols, weights of two bytes", RandomCounts(286, 256, 65535, 3)},
    {"many symbols, weights of three bytes", RandomCounts(286, 65536, kCountLimit - 1, 4)},
};
INSTANTIATE_TEST_SUITE_P(Counts, CodeLengths, testing::ValuesIn(kLengthCases), CaseName());

// Sixty equal weights fill no whole level: four leaves take 5 bits, and they are the last
// four symbols, few or many symbols sorted.
TEST(CodeLengths, EqualWeightsGoByTheirSymbols) {
  for (uint32_t symbols : {12u, 60u}) {
    std::vector<uint32_t> counts(symbols, 7);
    std::vector<uint8_t> lengths(symbols);
    BuildCodeLengths(counts.data(), symbols, kMaxCodeBits, lengths.data());
    const uint32_t longest = static_cast<uint32_t>(std::bit_width(symbols));
    const uint32_t shorter = (1u << longest) - symbols;  // leaves one level up
    for (uint32_t s = 0; s < symbols; s++)
      EXPECT_EQ(lengths[s], longest - (s >= symbols - shorter ? 1 : 0)) << symbols << " symbols, symbol " << s;
  }
}

}  // namespace
