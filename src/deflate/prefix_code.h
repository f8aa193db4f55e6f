// Length-limited prefix codes from symbol counts, and their canonical code words.
#pragma once

#include <cstdint>

#include "deflate/deflate_state.h"

// Code lengths of at most maxBits for `count` symbols (at most 288) from their counts;
// unused symbols get 0. At least two symbols always get a code, so that every code is
// complete, which all decoders accept. Counts stay below kCountLimit.
inline constexpr uint32_t kCountLimit = 1u << 23;
void BuildCodeLengths(const uint32_t* counts, uint32_t count, uint32_t maxBits, uint8_t* lengths);

// A block's symbols are counted once per item, plus the end of block.
static_assert(kMaxBlockBytes + 1 < kCountLimit);

// The canonical code words of the lengths, bit-reversed: Deflate sends codes from their
// first bit, and the bit writer sends numbers from their lowest bit.
void AssignCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes);
