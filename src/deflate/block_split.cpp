// Where a block should end. A prefix code pays off when the statistics it is built from hold
// for the whole block, so the parser ends a block when the latest items are distributed
// unlike the block's earlier ones. Comparing a few coarse classes is cheap and says enough.
#include <cstdint>
#include <numeric>

#include "deflate/deflate_parse.h"

namespace {

// The L1 distance between the two class distributions, over 2 at most, must pass this many
// hundredths to split. Sampling noise among 512 items stays well below it.
constexpr uint64_t kSplitDistanceHundredths = 40;

constexpr uint32_t kLiteralsPerClass = 32;
constexpr uint32_t kFirstLengthSymbol = 257;
static_assert(kShortMatchClass * kLiteralsPerClass == 256, "eight classes of literals");
static_assert(kLengthBase[kLongMatchFrom - kMinMatch] == kLongMatchFrom, "long matches begin a length symbol");

// The classes of all items the block has recorded, summed from its symbol counts.
void ClassesOfBlock(const DeflateState* s, uint32_t* classes) {
  const uint32_t* counts = s->literalLengthCounts;
  for (uint32_t c = 0; c < kShortMatchClass; c++)
    classes[c] = std::accumulate(counts + c * kLiteralsPerClass, counts + (c + 1) * kLiteralsPerClass, 0u);
  const uint32_t longFrom = kFirstLengthSymbol + kLongMatchFrom - kMinMatch;
  classes[kShortMatchClass] = std::accumulate(counts + kFirstLengthSymbol, counts + longFrom, 0u);
  classes[kLongMatchClass] = std::accumulate(counts + longFrom, counts + kMaxLengthCodes, 0u);
}

}  // namespace

bool RecentItemsStartNewBlock(DeflateState* s, uint32_t blockLength) {
  BlockSplit* split = &s->split;
  uint32_t now[kSplitClasses];
  ClassesOfBlock(s, now);
  const uint64_t blockCount = split->checkedItems;
  const uint64_t recentCount = s->itemCount - split->checkedItems;
  if (blockCount > 0 && blockLength >= kMinBlockInput) {
    // sum |recent/recentCount - block/blockCount|, scaled by both counts.
    uint64_t distance = 0;
    for (uint32_t c = 0; c < kSplitClasses; c++) {
      const uint64_t a = uint64_t{now[c] - split->block[c]} * blockCount;
      const uint64_t b = uint64_t{split->block[c]} * recentCount;
      distance += a > b ? a - b : b - a;
    }
    if (distance * 100 > kSplitDistanceHundredths * recentCount * blockCount) return true;
  }
  std::copy(now, now + kSplitClasses, split->block);
  split->checkedItems = s->itemCount;
  return false;
}
