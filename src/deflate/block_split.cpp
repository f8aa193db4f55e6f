// Where a block should end. A prefix code pays off when the statistics it is built from hold
// for the whole block, so the parser ends a block when the latest items are distributed
// unlike the block's earlier ones. Comparing a few coarse classes is cheap and says enough.
#include <cstdint>

#include "deflate/deflate_parse.h"

namespace {

// The L1 distance between the two class distributions, over 2 at most, must pass this many
// hundredths to split. Sampling noise among 512 items stays well below it.
constexpr uint64_t kSplitDistanceHundredths = 40;

}  // namespace

bool RecentItemsStartNewBlock(BlockSplit* split, uint32_t blockLength) {
  const uint64_t recentCount = split->recentCount;
  const uint64_t blockCount = split->blockCount;
  if (blockCount > 0 && blockLength >= kMinBlockInput) {
    // sum |recent/recentCount - block/blockCount|, scaled by both counts.
    uint64_t distance = 0;
    for (uint32_t c = 0; c < kSplitClasses; c++) {
      const uint64_t a = split->recent[c] * blockCount;
      const uint64_t b = split->block[c] * recentCount;
      distance += a > b ? a - b : b - a;
    }
    if (distance * 100 > kSplitDistanceHundredths * recentCount * blockCount) return true;
  }
  for (uint32_t c = 0; c < kSplitClasses; c++) {
    split->block[c] += split->recent[c];
    split->recent[c] = 0;
  }
  split->blockCount += split->recentCount;
  split->recentCount = 0;
  return false;
}
