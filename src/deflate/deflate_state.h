// The encoder's state and the sizes that shape it, shared by the match finders, the parsers,
// the block writer and the stream driver. Everything lives in one allocation.
#pragma once

#include <cstdint>
#include <cstring>

#include "deflate/deflate_encode.h"
#include "deflate/inflate_tables.h"

inline constexpr uint32_t kWindowSize = 32768;
// A search reaches one byte less than the window: the chain slot of a position a whole
// window back is the one the newest position has just overwritten.
inline constexpr uint32_t kMaxSearchDistance = kWindowSize - 1;
inline constexpr uint32_t kMinMatch = 3;
// Bytes a hashed position needs in front of it: the hashes read a 32-bit word.
inline constexpr uint32_t kHashBytes = 4;

// Stored blocks carry at most this much each, behind a 5-byte header (with the 3 bits
// and the padding before it).
inline constexpr uint32_t kMaxStoredPiece = 65535;
inline constexpr uint32_t kStoredHeaderBytes = 5;

// A block covers this much input at most; it ends after the item that reaches the limit,
// so it may hold one longest match more. Two whole stored pieces, should it be stored.
inline constexpr uint32_t kMaxBlockInput = 2 * kMaxStoredPiece;
inline constexpr uint32_t kMaxBlockBytes = kMaxBlockInput + kDeflateMaxMatch;
// A block short of the last input is parsed only with this much buffered from its start,
// so that its matches and a lazy look one byte ahead find their whole length.
inline constexpr uint32_t kReadyBytes = kMaxBlockInput + 2 * kDeflateMaxMatch + 16;
// Data begin one window in, so that a table entry of zero (never set, or slid out of the
// buffer) always lies a window or more behind any position and is never taken.
inline constexpr uint32_t kDataStart = kWindowSize;
// Slides move whole units of 64 KiB: tables indexed by position modulo the window keep
// their slots, and the fast level's 16-bit entries keep their meaning without a rewrite. A
// full buffer short of a ready block always has one unit to give, and the spare windows
// make slides, which rewrite the other match finders' tables, rarer.
inline constexpr uint32_t kSlideUnit = 2 * kWindowSize;
inline constexpr uint32_t kSpareWindows = 4;
inline constexpr uint32_t kBufferCapacity = (2 + kSpareWindows) * kWindowSize + kReadyBytes;
static_assert(kBufferCapacity - kReadyBytes - kDataStart >= kSlideUnit, "a full buffer can slide");
// Word loads and the bit writer's 8-byte stores may run this far past what they use.
inline constexpr uint32_t kWordSlack = 16;

constexpr uint64_t StoredBytesBound(uint64_t length) {
  return length + kStoredHeaderBytes * (length / kMaxStoredPiece + 1);
}
// Whatever type a block takes, it is never longer than stored, plus the partial byte.
inline constexpr uint32_t kPendingCapacity =
    static_cast<uint32_t>(StoredBytesBound(kMaxBlockBytes)) + 1 + kWordSlack;

// One parsed item: distance 0 is the literal `length`, else a match.
struct DeflateItem {
  uint16_t length;
  uint16_t distance;
};
static_assert(kDeflateMaxMatch <= UINT16_MAX && kWindowSize <= UINT16_MAX);

// Block splitting watches a few coarse classes of items: literals by their top three bits,
// and short and long matches. A block ends once recent items differ enough from the block's.
// The classes are sums of the symbol counts, so recording an item costs nothing more.
inline constexpr uint32_t kSplitClasses = 10;
inline constexpr uint32_t kShortMatchClass = 8;
inline constexpr uint32_t kLongMatchClass = 9;
inline constexpr uint32_t kLongMatchFrom = 9;
inline constexpr uint32_t kSplitCheckEvery = 512;  // items between checks
inline constexpr uint32_t kMinBlockInput = 8192;   // no split in a block's first bytes
struct BlockSplit {
  uint32_t block[kSplitClasses];  // of the items up to the last check
  uint32_t checkedItems;          // items of the block at the last check
};

// Match finder tables, one set per level. Entries are buffer positions.
inline constexpr uint32_t kFastHashBits = 15;
inline constexpr uint32_t kFastBucketSize = 2;
inline constexpr uint32_t kChainHashBits = 15;
inline constexpr uint32_t kHash3Bits = 15;
inline constexpr uint32_t kTreeHashBits = 16;
// The best level's blocks are shorter: every position of a block keeps its matches.
inline constexpr uint32_t kOptimalBlockInput = kMaxStoredPiece;
inline constexpr uint32_t kOptimalPositions = kOptimalBlockInput + kDeflateMaxMatch + 1;
inline constexpr uint32_t kMatchCacheSize = 4 * kOptimalBlockInput;
static_assert(kOptimalBlockInput <= kMaxBlockInput);

// The fast level's entries are positions modulo kSlideUnit, and a candidate lies the
// entry's distance modulo the window back: 1 to kMaxSearchDistance bytes, without a range
// test. An entry out of reach names some other byte of the window, which counts only when
// its bytes match, as any candidate. A candidate never lies before the stream: entries are
// 0 (cleared) or positions of this stream, so until the first slide a candidate is a
// position of this stream or, for a cleared entry, pos rounded down to a whole window,
// which is kDataStart or later; after it, all the buffer holds the stream.
using FastEntry = uint16_t;
inline constexpr uint32_t kFastDistanceMask = kWindowSize - 1;
static_assert(kSlideUnit == 1u << 16 && kSlideUnit % kWindowSize == 0, "a 16-bit entry folds into the window");
static_assert(kFastDistanceMask == kMaxSearchDistance && kDataStart == kWindowSize,
              "folded distances reach the window, and a cleared entry's candidates start at kDataStart");
struct FastTables {
  FastEntry buckets[1u << kFastHashBits][kFastBucketSize];
};

struct ChainTables {
  uint32_t heads[1u << kChainHashBits];
  uint32_t hash3[1u << kHash3Bits];
  uint32_t previous[kWindowSize];
};

// Binary trees of the positions sharing a hash, plus what the optimal parser keeps per block.
inline constexpr uint32_t kMaxDistanceCodes = 30;  // Deflate's; kMaxLengthCodes is 286

// What the best level's parser takes each literal, length and distance to cost, in
// sixteenths of a bit, codes and extra bits included.
struct OptimalCosts {
  uint32_t literal[256];
  uint32_t length[kDeflateMaxMatch + 1];
  uint32_t distance[kMaxDistanceCodes];
};

struct TreeTables {
  uint32_t heads[1u << kTreeHashBits];
  uint32_t hash3[1u << kHash3Bits];
  uint32_t children[2 * kWindowSize];
  uint32_t cost[kOptimalPositions];       // bits from a position to the block's end
  DeflateItem choice[kOptimalPositions];  // the item that starts the cheapest way on
  uint16_t matchCount[kOptimalPositions];
  DeflateItem matches[kMatchCacheSize];   // per position, by growing length
  OptimalCosts lastCosts;  // those the previous block was parsed under
  uint32_t lastCostsKnown;
};

// The prefix code chosen for a block, and what its header sends.
inline constexpr uint32_t kMaxHeaderTokens = kMaxLengthCodes + kMaxDistanceCodes;
enum BlockType : uint32_t { kBlockStored = 0, kBlockFixed = 1, kBlockDynamic = 2 };
struct BlockPlan {
  BlockType type;
  uint64_t bits;  // of the chosen type, from the block's first header bit
  uint32_t lengthCodeCount;
  uint32_t distanceCodeCount;
  uint32_t codeLengthCodeCount;
  uint32_t tokenCount;
  uint8_t tokens[kMaxHeaderTokens];  // code-length symbols of the header
  uint8_t tokenExtra[kMaxHeaderTokens];
  uint8_t lengths[kLengthSymbols + kDistanceSymbols];  // literal/length, then distance
  uint16_t codes[kLengthSymbols + kDistanceSymbols];
  uint8_t codeLengthLengths[kCodeLengthSymbols];
  uint16_t codeLengthCodes[kCodeLengthSymbols];
};

struct LevelSettings;

struct DeflateState {
  const LevelSettings* settings;
  uint32_t lastInput;  // the caller has given the last input
  uint32_t finished;   // the final block is written
  uint32_t bufferEnd;  // end of the buffered input
  uint32_t blockStart; // where the next block begins
  uint32_t hashedTo;   // positions before this one are in the match finder's tables
  uint64_t bitBuffer;  // output bits not yet in whole bytes, first bit lowest
  uint32_t bitCount;
  uint32_t pendingStart;  // output waiting for room
  uint32_t pendingEnd;
  uint32_t itemCount;
  uint32_t literalLengthCounts[kLengthSymbols];
  uint32_t distanceCounts[kDistanceSymbols];
  BlockSplit split;
  BlockPlan plan;
  union {
    FastTables fast;
    ChainTables chains;
    TreeTables trees;
  } finder;
  DeflateItem items[kMaxBlockBytes];
  uint8_t pending[kPendingCapacity];
  uint8_t buffer[kBufferCapacity + kWordSlack];
};
static_assert(sizeof(DeflateState) < 4u * 1000 * 1000, "an encoder stays under 4 MB");

// Reads the buffer a word at a time; the product targets little-endian machines only.
inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
