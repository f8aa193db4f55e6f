// Resumable decoders for raw Deflate (RFC 1951, 32 KiB window) and Deflate64 (ZIP method 9,
// 64 KiB window). A call decodes as far as the input and output it is given allow and keeps
// everything else in its state, so the next call goes on at the same bit.
#pragma once

#include <cstdint>

#include "deflate/code_table.h"

// The most entries a table can take (codes with root 11 and 8), counted over every complete
// code of up to 15 bits; the decoding tests build both largest tables.
inline constexpr uint32_t kLengthTableLimit = 2340;   // 286 codes
inline constexpr uint32_t kDistanceTableLimit = 402;  // 32 codes (30 take 400)
inline constexpr uint32_t kCodeEntryCount = kLengthTableLimit + kDistanceTableLimit;
inline constexpr uint32_t kMaxLengthCodes = 286;
inline constexpr uint32_t kMaxCodeLengths = 320;  // lengths of one block header, with room
static_assert(kCodeEntryCount <= (CodeEntry{0} - 1) >> kEntryValueShift,
              "an entry's value must reach every sub-table");

enum InflateMode : uint32_t {
  kInflateBlockHeader = 0,
  kInflateStoredHeader = 1,
  kInflateStoredCopy = 2,
  kInflateTableHeader = 3,
  kInflateCodeLengthLengths = 4,
  kInflateCodeLengths = 5,
  kInflateLengthCode = 6,
  kInflateLengthExtra = 7,
  kInflateDistanceCode = 8,
  kInflateDistanceExtra = 9,
  kInflateMatchCopy = 10,
  kInflateLiteralOut = 11,
  kInflateFinished = 12,
  kInflateFailed = 13,
  kInflateOutOfMemory = 14,
};

using InflateResult = int32_t;
enum : InflateResult {
  kInflateProgress = 0,    // stopped because the input ran out or the output is full
  kInflateDone = 1,        // the final block is complete
  kInflateBadCall = -1,    // state or output absent, input absent with a count, bad mode
  kInflateBadData = -2,    // not a valid stream; stays so
  kInflateNoMemory = -3,   // the window could not be allocated; stays so
  kInflateNoProgress = -4, // nothing consumed or produced, for instance a stream cut short
  kInflateBlockEnd = 2,    // with stopAtBlocks: a block that is not the last has just ended
};

inline constexpr uint32_t kInflateWindowSize = 32768;
inline constexpr uint32_t kInflate64WindowSize = 65536;

// One stream's state. Zero-filled is a fresh stream (decodeMode 0 is kInflateBlockHeader).
struct InflateState {
  uint32_t decodeMode;
  uint32_t finalBlock;
  uint32_t windowFill;   // valid bytes in the window
  uint32_t windowNext;   // where the next output byte goes in the window
  uint64_t bitBuffer;    // bits taken from the input and not used yet, first bit lowest
  uint32_t bitCount;
  uint32_t length;       // match length; stored bytes left; the literal waiting for room
  uint32_t distance;
  uint32_t extraBits;
  const CodeEntry* lengthTable;
  const CodeEntry* distanceTable;
  uint32_t lengthRootBits;
  uint32_t distanceRootBits;
  uint32_t codeLengthCount;
  uint32_t lengthCodeCount;
  uint32_t distanceCodeCount;
  uint32_t lengthsRead;
  // Set by the caller: stop in front of every block header but the first after the final
  // block, where the stream can be resumed from the bits held and the window alone.
  uint32_t stopAtBlocks;
  uint32_t boundaryReported;  // the stop in front of this block header has been made
  CodeEntry* nextEntry;
  uint16_t lengths[kMaxCodeLengths];
  uint16_t sortedSymbols[288];
  CodeEntry entries[kCodeEntryCount];
};

struct InflateStream {
  const uint8_t* input;
  uint32_t inputLeft;
  uint8_t* output;
  uint32_t outputLeft;
  InflateState* state;
  uint8_t* window;  // allocated by the decoder when first needed; see EndInflateStream
};

using InflateFunction = InflateResult (*)(InflateStream* stream);

InflateResult Inflate(InflateStream* stream);
InflateResult Inflate64(InflateStream* stream);

// A zero-filled state ready for a new stream, or null when memory is short.
InflateState* NewInflateState();
// Puts a fresh state (from NewInflateState) at a block boundary of a stream decoded before:
// the bits that were held there and the output's last historyLength bytes (at most
// windowSize, the decoder's window: kInflateWindowSize or kInflate64WindowSize). False when
// the window cannot be allocated.
bool ResumeInflate(InflateStream* stream, uint32_t windowSize, uint64_t bits, uint32_t bitCount,
                   const uint8_t* history, uint32_t historyLength);
// Copies the window's bytes, oldest first, into out (windowSize bytes) and returns how many.
uint32_t CopyInflateHistory(const InflateStream* stream, uint32_t windowSize, uint8_t* out);
// Frees the stream's window and state (either may be absent) and clears both pointers.
void EndInflateStream(InflateStream* stream);
