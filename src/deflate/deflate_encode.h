// A resumable raw Deflate encoder (RFC 1951). A call takes as much input and gives as much
// output as it is offered and keeps the rest in its state, so any chunking of either side
// makes the same stream. Blocks are dynamic, fixed or stored, whichever is smallest for the
// block's own input; data that do not compress come out as stored blocks.
#pragma once

#include <cstddef>
#include <cstdint>

enum DeflateLevel : uint32_t {
  kDeflateFast = 0,    // greedy matches from a small hash table
  kDeflateNormal = 1,  // lazy matches from hash chains
  kDeflateBest = 2,    // near-optimal parsing over binary trees
};
inline constexpr uint32_t kDeflateLevelCount = 3;

using DeflateResult = int32_t;
enum : DeflateResult {
  kDeflateProgress = 0,    // input consumed or output given; call again with more of either
  kDeflateDone = 1,        // the last input is encoded and all of the stream has been given
  kDeflateBadCall = -1,    // state absent, a count without its pointer, input after the last
  kDeflateNoMemory = -3,   // DeflateBuffer could not allocate its state
  kDeflateNoProgress = -4, // nothing consumed or given: more input or output room is needed
};

struct DeflateState;  // about 3.4 MB, one allocation; see deflate_state.h

struct DeflateStream {
  const uint8_t* input;
  uint32_t inputLeft;
  uint8_t* output;
  uint32_t outputLeft;
  DeflateState* state;
};

// A state for a new stream at `level`, or null when memory is short or the level unknown.
DeflateState* NewDeflateState(DeflateLevel level);
// Ends the stream (its state may be absent) and clears the pointer. The state is kept for
// the next stream this thread begins, which clears only what it needs of it.
void EndDeflateStream(DeflateStream* stream);

// Encodes what the stream offers. lastInput says that stream->input holds the stream's last
// bytes (possibly none); once given, every later call must give it too. Input is always
// taken whole unless the encoder's buffer is full of data waiting for output room.
DeflateResult Deflate(DeflateStream* stream, bool lastInput);

// A stream in pieces that can be encoded apart, on as many threads: each piece is encoded
// with the (up to) 32 KiB of input before it as `history`, which its matches may reach into,
// and its output ends on a whole byte (behind an empty stored block) unless it is the
// `last`, which ends the stream. The pieces' outputs joined in order are one Deflate stream.
// kDeflateDone with *written set, kDeflateNoProgress when output is too small (room for
// DeflatePieceBound bytes always suffices), kDeflateBadCall or kDeflateNoMemory.
inline constexpr uint32_t kDeflateHistoryBytes = 32768;
DeflateResult DeflatePiece(DeflateLevel level, const uint8_t* history, uint32_t historySize, const uint8_t* input,
                           uint32_t inputSize, bool last, uint8_t* output, uint32_t outputSize, uint32_t* written);
size_t DeflatePieceBound(size_t inputSize);

// The most bytes DeflateBuffer can write for `inputSize` bytes of input, at any level.
size_t DeflateBound(size_t inputSize);

// Encodes a whole buffer into output (room for DeflateBound bytes always suffices).
// kDeflateDone with *written set, kDeflateNoProgress when output is too small,
// kDeflateBadCall for absent pointers or an unknown level, or kDeflateNoMemory.
DeflateResult DeflateBuffer(DeflateLevel level, const uint8_t* input, size_t inputSize,
                            uint8_t* output, size_t outputSize, size_t* written);
