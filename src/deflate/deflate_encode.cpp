// The stream driver: input is gathered in the buffer behind a window of history; a block is
// parsed once enough is buffered for its longest matches (or the input has ended), planned,
// and written straight to the caller's output when it fits there, else to the pending
// buffer that later calls drain. Every step depends only on what has been buffered, never on
// how the input or the output was cut into calls.
#include "deflate/deflate_encode.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "deflate/block_writer.h"
#include "deflate/deflate_parse.h"
#include "deflate/match_finder.h"

namespace {

// maxChain is the tree depth for the best level.
//                       parse         slide         block input         chain nice lazy passes cuts tried, smooth
constexpr LevelSettings kLevels[kDeflateLevelCount] = {
    /* kDeflateFast   */ {ParseGreedy, nullptr,      kMaxBlockInput, 0, 0, 0, 0, 0, 0},
    /* kDeflateNormal */ {ParseLazy, SlideChains, kMaxBlockInput, 32, 96, 48, 0, 0, 0},
    /* kDeflateBest   */ {ParseOptimal, SlideTrees, kOptimalBlockInput, 256, 258, 0, 3, 31, 1},
};
// A block cut into parts (each kMinBlockInput bytes or more) is written part by part into
// the pending buffer when the output is short: each part may add a stored header and a byte.
constexpr uint32_t kMostParts = (kOptimalBlockInput + kDeflateMaxMatch) / kMinBlockInput;
static_assert(StoredBytesBound(kOptimalBlockInput + kDeflateMaxMatch) + kMostParts * (kStoredHeaderBytes + 1) +
                  kWordSlack <= kPendingCapacity);

// The match finder's tables each level uses: all a reused state needs cleared of them.
constexpr size_t kFinderBytes[kDeflateLevelCount] = {sizeof(FastTables), sizeof(ChainTables), sizeof(TreeTables)};

// The state of a stream that ended, kept for this thread's next stream: a folder of small
// files would otherwise clear megabytes for each file. Only what the next stream reads
// before writing is cleared again: the fields, counts and its level's tables.
struct SpareState {
  DeflateState* state = nullptr;
  ~SpareState() { std::free(state); }
};
thread_local SpareState gSpare;

DeflateState* TakeState(DeflateLevel level) {
  DeflateState* s = gSpare.state;
  if (s == nullptr) return static_cast<DeflateState*>(std::calloc(1, sizeof(DeflateState)));
  gSpare.state = nullptr;
  std::memset(static_cast<void*>(s), 0, offsetof(DeflateState, finder) + kFinderBytes[level]);
  return s;
}

// Drops whole units of history before the next block's window, to make room for input.
void Slide(DeflateState* s) {
  const uint32_t amount = (s->blockStart - kDataStart) / kSlideUnit * kSlideUnit;
  if (amount == 0) return;
  std::memmove(s->buffer, s->buffer + amount, s->bufferEnd - amount);
  s->bufferEnd -= amount;
  s->blockStart -= amount;
  s->hashedTo = std::max(s->hashedTo, amount) - amount;
  if (s->settings->slide) s->settings->slide(s, amount);
}

void TakeInput(DeflateState* s, DeflateStream* stream) {
  if (s->bufferEnd == kBufferCapacity) Slide(s);
  const uint32_t n = std::min(stream->inputLeft, kBufferCapacity - s->bufferEnd);
  if (n == 0) return;
  std::memcpy(s->buffer + s->bufferEnd, stream->input, n);
  s->bufferEnd += n;
  stream->input += n;
  stream->inputLeft -= n;
}

void StartBlock(DeflateState* s) {
  s->itemCount = 0;
  std::memset(s->literalLengthCounts, 0, sizeof s->literalLengthCounts);
  std::memset(s->distanceCounts, 0, sizeof s->distanceCounts);
  s->split = {};
}

// What a run of items holds: symbol counts and the input they cover.
struct ItemCounts {
  uint32_t literalLength[kLengthSymbols];
  uint32_t distance[kDistanceSymbols];
  uint32_t input;
};

void CountItems(const DeflateState* s, uint32_t from, uint32_t to, ItemCounts* c) {
  for (uint32_t i = from; i < to; i++) {
    const DeflateItem item = s->items[i];
    if (item.distance == 0) {
      c->literalLength[item.length]++;
      c->input += 1;
    } else {
      c->literalLength[kLengthSymbolOf[item.length]]++;
      c->distance[DistanceCode(item.distance)]++;
      c->input += item.length;
    }
  }
}

void SetCountsFrom(const DeflateState* s, ItemCounts* c, uint32_t input) {
  std::memcpy(c->literalLength, s->literalLengthCounts, sizeof c->literalLength);
  std::memcpy(c->distance, s->distanceCounts, sizeof c->distance);
  c->input = input;
}

void SetCounts(DeflateState* s, const ItemCounts& c) {
  std::memcpy(s->literalLengthCounts, c.literalLength, sizeof s->literalLengthCounts);
  std::memcpy(s->distanceCounts, c.distance, sizeof s->distanceCounts);
}

ItemCounts Difference(const ItemCounts& whole, const ItemCounts& part) {
  ItemCounts d;
  for (uint32_t i = 0; i < kLengthSymbols; i++) d.literalLength[i] = whole.literalLength[i] - part.literalLength[i];
  for (uint32_t i = 0; i < kDistanceSymbols; i++) d.distance[i] = whole.distance[i] - part.distance[i];
  d.input = whole.input - part.input;
  return d;
}

uint64_t DynamicBitsOf(DeflateState* s, const ItemCounts& c) {
  SetCounts(s, c);
  s->literalLengthCounts[kEndOfBlockSymbol]++;
  return DynamicBlockBits(s);
}

// Where the parsed block is best cut in two, each half with its own code: the item the
// second half begins with, 0 when one block costs least (the second half may be cut again). Both halves keep kMinBlockInput
// bytes or more (DeflateBound counts on it). *head gets the first half's counts.
uint32_t BestCut(DeflateState* s, const ItemCounts& whole, ItemCounts* head) {
  const uint32_t tries = s->settings->splitTries, n = s->itemCount;
  if (tries == 0 || whole.input < 2 * kMinBlockInput) return 0;
  uint64_t best = DynamicBitsOf(s, whole);
  uint32_t bestCut = 0;
  ItemCounts first{};
  for (uint32_t q = 1, counted = 0; q <= tries; q++) {
    const uint32_t cut = static_cast<uint32_t>(uint64_t{n} * q / (tries + 1));
    CountItems(s, counted, cut, &first);
    counted = cut;
    if (first.input < kMinBlockInput || whole.input - first.input < kMinBlockInput) continue;
    const uint64_t bits = DynamicBitsOf(s, first) + DynamicBitsOf(s, Difference(whole, first));
    if (bits < best) {
      best = bits;
      bestCut = cut;
      *head = first;
    }
  }
  SetCounts(s, whole);
  return bestCut;
}

// Writes the planned block: straight to the caller's output when it fits there and nothing
// waits before it, else behind what waits in the pending buffer.
void EmitPlanned(DeflateState* s, DeflateStream* stream, const uint8_t* input, uint32_t length, bool final) {
  if (s->pendingStart == s->pendingEnd && stream->outputLeft >= PlannedBytes(s)) {
    uint8_t* const out = WriteBlock(s, input, length, final, stream->output);
    const uint32_t written = static_cast<uint32_t>(out - stream->output);
    stream->output = out;
    stream->outputLeft -= written;
    return;
  }
  if (s->pendingStart == s->pendingEnd) s->pendingStart = s->pendingEnd = 0;
  s->pendingEnd = static_cast<uint32_t>(WriteBlock(s, input, length, final, s->pending + s->pendingEnd) - s->pending);
}

void EmitBlock(DeflateState* s, DeflateStream* stream, const uint8_t* input, uint32_t length, bool final) {
  PlanBlock(s, length);
  EmitPlanned(s, stream, input, length, final);
}

// Parses, plans and writes the next block (in parts when that is smaller); the final one
// when the stream's input has all been given (allInput) and the block takes what is left.
void EncodeBlock(DeflateState* s, DeflateStream* stream, bool allInput) {
  StartBlock(s);
  const uint32_t start = s->blockStart;
  const uint32_t nominalEnd = std::min(start + s->settings->blockInput, s->bufferEnd);
  const uint32_t end = nominalEnd > start ? s->settings->parse(s, start, nominalEnd, s->bufferEnd) : start;
  const bool final = allInput && end == s->bufferEnd;
  const uint8_t* input = s->buffer + start;
  uint32_t length = end - start;
  ItemCounts whole, head;
  SetCountsFrom(s, &whole, length);
  for (uint32_t cut; (cut = BestCut(s, whole, &head)) != 0;) {
    const uint32_t items = s->itemCount;
    s->itemCount = cut;
    SetCounts(s, head);
    EmitBlock(s, stream, input, head.input, false);
    std::memmove(s->items, s->items + cut, (items - cut) * sizeof(DeflateItem));
    s->itemCount = items - cut;
    whole = Difference(whole, head);
    SetCounts(s, whole);
    input += head.input;
    length -= head.input;
  }
  EmitBlock(s, stream, input, length, final);
  s->blockStart = end;
  s->finished = final;
}

uint32_t GivePending(DeflateState* s, DeflateStream* stream) {
  const uint32_t n = std::min(s->pendingEnd - s->pendingStart, stream->outputLeft);
  if (n == 0) return 0;
  std::memcpy(stream->output, s->pending + s->pendingStart, n);
  s->pendingStart += n;
  stream->output += n;
  stream->outputLeft -= n;
  return n;
}

// Takes the history in as the stream's start and encodes it with the output dropped: the
// window and the match finder's tables are then those of a stream that began with it.
void TakeHistory(DeflateState* s, const uint8_t* history, uint32_t size) {
  DeflateStream none{history, size, nullptr, 0, s};
  TakeInput(s, &none);
  while (s->blockStart < s->bufferEnd) {
    EncodeBlock(s, &none, false);
    s->pendingStart = s->pendingEnd = 0;
  }
  s->bitBuffer = 0;
  s->bitCount = 0;
}

// Hands out what waits, takes input and encodes each block that is ready, until the output is
// full, the input runs out before a block is ready, or the encoder has finished. Once all input
// is in (inputEnds and none left) the last block is final; or, for a piece that others follow
// (closePiece), an empty stored block ends the output on a whole byte.
void Encode(DeflateState* s, DeflateStream* stream, bool inputEnds, bool closePiece) {
  for (;;) {
    GivePending(s, stream);
    if (s->pendingStart < s->pendingEnd || s->finished) return;
    TakeInput(s, stream);
    const bool allInput = inputEnds && stream->inputLeft == 0;
    if (!allInput && s->bufferEnd - s->blockStart < kReadyBytes) {
      if (stream->inputLeft == 0) return;
      continue;  // the buffer is full; the next take slides it
    }
    if (closePiece && allInput && s->blockStart == s->bufferEnd) {
      StartBlock(s);
      PlanEmptyStoredBlock(s);
      EmitPlanned(s, stream, s->buffer + s->blockStart, 0, false);
      s->finished = 1;
      continue;
    }
    EncodeBlock(s, stream, allInput && !closePiece);
  }
}

}  // namespace

DeflateState* NewDeflateState(DeflateLevel level) {
  if (level >= kDeflateLevelCount) return nullptr;
  // Zero-filled tables hold no positions: see kDataStart.
  DeflateState* s = TakeState(level);
  if (!s) return nullptr;
  s->settings = &kLevels[level];
  s->bufferEnd = s->blockStart = s->hashedTo = kDataStart;
  return s;
}

void EndDeflateStream(DeflateStream* stream) {
  if (gSpare.state == nullptr) {
    gSpare.state = stream->state;
  } else {
    std::free(stream->state);
  }
  stream->state = nullptr;
}

DeflateResult Deflate(DeflateStream* stream, bool lastInput) {
  if (!stream || !stream->state || (!stream->input && stream->inputLeft) || (!stream->output && stream->outputLeft))
    return kDeflateBadCall;
  DeflateState* s = stream->state;
  if (s->lastInput && !lastInput) return kDeflateBadCall;
  s->lastInput = lastInput;
  const uint32_t inputBefore = stream->inputLeft, outputBefore = stream->outputLeft;
  Encode(s, stream, lastInput, false);
  if (s->finished && s->pendingStart == s->pendingEnd) return kDeflateDone;
  return stream->inputLeft != inputBefore || stream->outputLeft != outputBefore ? kDeflateProgress
                                                                                : kDeflateNoProgress;
}

DeflateResult DeflatePiece(DeflateLevel level, const uint8_t* history, uint32_t historySize, const uint8_t* input,
                           uint32_t inputSize, bool last, uint8_t* output, uint32_t outputSize, uint32_t* written) {
  static_assert(kDeflateHistoryBytes == kWindowSize, "a piece's history is the window");
  if ((!history && historySize) || historySize > kDeflateHistoryBytes || (!input && inputSize) || (!output && outputSize) ||
      !written || level >= kDeflateLevelCount)
    return kDeflateBadCall;
  DeflateStream stream{input, inputSize, output, outputSize, NewDeflateState(level)};
  if (!stream.state) return kDeflateNoMemory;
  TakeHistory(stream.state, history, historySize);
  // A piece has all its input: the encoder stops only when finished or short of output.
  Encode(stream.state, &stream, true, !last);
  const DeflateResult result = stream.state->pendingStart < stream.state->pendingEnd ? kDeflateNoProgress : kDeflateDone;
  EndDeflateStream(&stream);
  *written = outputSize - stream.outputLeft;
  return result;
}

size_t DeflatePieceBound(size_t inputSize) { return DeflateBound(inputSize) + kStoredHeaderBytes + 1; }

size_t DeflateBound(size_t inputSize) {
  // Every block is at worst stored, and all blocks but the last hold kMinBlockInput bytes
  // or more; each adds its stored headers and a partial byte.
  const size_t blocks = inputSize / kMinBlockInput + 1;
  return inputSize + (inputSize / kMaxStoredPiece + blocks) * kStoredHeaderBytes + 2;
}

DeflateResult DeflateBuffer(DeflateLevel level, const uint8_t* input, size_t inputSize, uint8_t* output,
                            size_t outputSize, size_t* written) {
  if ((!input && inputSize) || (!output && outputSize) || !written || level >= kDeflateLevelCount)
    return kDeflateBadCall;
  DeflateStream stream{input, 0, output, 0, NewDeflateState(level)};
  if (!stream.state) return kDeflateNoMemory;
  // The stream counts in 32 bits; larger buffers go through in slices.
  constexpr size_t kSlice = size_t{1} << 30;
  size_t inputLeft = inputSize, outputLeft = outputSize;
  DeflateResult result = kDeflateProgress;
  while (result == kDeflateProgress) {
    const size_t inSlice = std::min(inputLeft, kSlice), outSlice = std::min(outputLeft, kSlice);
    stream.inputLeft = static_cast<uint32_t>(inSlice);
    stream.outputLeft = static_cast<uint32_t>(outSlice);
    result = Deflate(&stream, inSlice == inputLeft);
    inputLeft -= inSlice - stream.inputLeft;
    outputLeft -= outSlice - stream.outputLeft;
  }
  EndDeflateStream(&stream);
  *written = outputSize - outputLeft;
  return result;
}
