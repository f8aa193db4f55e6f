// Blocks planned and written one after another through one state, read back by our decoder:
// what one block's plan leaves behind must not leak into the next.
#include <gtest/gtest.h>

#include "deflate/block_writer.h"
#include "deflate/deflate_parse.h"
#include "deflate/inflate.h"
#include "support/case_name.h"
#include "support/deflate_writer.h"

namespace {

// Literals only: the text repeated, or `count` bytes drawn with a skewed choice of 200 values,
// so that the rarest take codes longer than the fixed code's 8 and 9 bits.
Bytes Skewed(size_t count) {
  Bytes b;
  for (uint32_t i = 0; b.size() < count; i++) b.push_back(static_cast<uint8_t>((i * i * 7919u >> 3) % (1 + i % 200)));
  return b;
}

struct BlockCase {
  const char* what;
  std::vector<Bytes> blocks;
  std::vector<BlockType> types;  // the types the plans must choose, so the case tests what it says
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.what; }

using BlockSequence = testing::TestWithParam<BlockCase>;

TEST_P(BlockSequence, DecodesToTheBlocksInput) {
  const BlockCase& c = GetParam();
  DeflateStream stream{};
  stream.state = NewDeflateState(kDeflateFast);
  DeflateState* s = stream.state;
  Bytes out(1 << 20), all;
  uint8_t* at = out.data();
  for (size_t k = 0; k < c.blocks.size(); k++) {
    s->itemCount = 0;
    std::memset(s->literalLengthCounts, 0, sizeof s->literalLengthCounts);
    std::memset(s->distanceCounts, 0, sizeof s->distanceCounts);
    for (uint8_t b : c.blocks[k]) RecordLiteral(s, b);
    PlanBlock(s, static_cast<uint32_t>(c.blocks[k].size()));
    EXPECT_EQ(s->plan.type, c.types[k]) << "block " << k;
    at = WriteBlock(s, c.blocks[k].data(), static_cast<uint32_t>(c.blocks[k].size()), k + 1 == c.blocks.size(), at);
    all.insert(all.end(), c.blocks[k].begin(), c.blocks[k].end());
  }
  EndDeflateStream(&stream);

  InflateStream in{};
  in.state = NewInflateState();
  Bytes decoded(all.size() + 1);
  in.input = out.data();
  in.inputLeft = static_cast<uint32_t>(at - out.data());
  in.output = decoded.data();
  in.outputLeft = static_cast<uint32_t>(decoded.size());
  EXPECT_EQ(Inflate(&in), kInflateDone);
  EXPECT_EQ(in.inputLeft, 0u);
  decoded.resize(decoded.size() - in.outputLeft);
  EXPECT_TRUE(decoded == all);
  EndInflateStream(&in);
}

const BlockCase kBlockCases[] = {
    {"fixed then dynamic", {BytesOf("a few words"), Skewed(20000)}, {kBlockFixed, kBlockDynamic}},
    {"stored then dynamic", {RandomBytes(3000, 1), Skewed(20000)}, {kBlockStored, kBlockDynamic}},
    {"dynamic then fixed then dynamic", {Skewed(20000), BytesOf("x"), Skewed(5000)},
     {kBlockDynamic, kBlockFixed, kBlockDynamic}},
};
INSTANTIATE_TEST_SUITE_P(Blocks, BlockSequence, testing::ValuesIn(kBlockCases), CaseName());

}  // namespace
