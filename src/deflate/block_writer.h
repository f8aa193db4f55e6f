// Turns a block's items into the smallest of the three block types and writes it.
#pragma once

#include <cstdint>

#include "deflate/deflate_state.h"

// Chooses the type of the block of the state's items, which cover `length` input bytes,
// from the exact size of each at the state's bit position; fills s->plan.
void PlanBlock(DeflateState* s, uint32_t length);

// Plans an empty stored block: written, it brings the output to a whole byte.
void PlanEmptyStoredBlock(DeflateState* s);

// Bits of the state's items as one dynamic block, its header included (the counts must
// include the end of block). Leaves s->plan to be planned again.
uint64_t DynamicBlockBits(DeflateState* s);

// Bytes WriteBlock stores at most for the planned block, its 8-byte word stores included.
uint64_t PlannedBytes(const DeflateState* s);

// Writes the planned block to out and returns the end of the whole bytes written; bits short
// of a byte stay in the state, except behind a final block, which pads its last byte.
// `input` is the block's input, which a stored block copies.
uint8_t* WriteBlock(DeflateState* s, const uint8_t* input, uint32_t length, bool final, uint8_t* out);
