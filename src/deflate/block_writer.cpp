// Block sizes are computed exactly before anything is written, so the type is chosen from
// the block's own numbers and the input is never encoded twice. Bits go through a 64-bit
// buffer that is stored a whole word at a time; the destination has room for the overrun.
#include "deflate/block_writer.h"

#include <algorithm>

#include "deflate/deflate_parse.h"
#include "deflate/prefix_code.h"

namespace {

constexpr uint32_t kMaxCodeLengthBits = 7;
constexpr uint32_t kRepeatPrevious = 16;  // code-length symbols that repeat
constexpr uint32_t kRepeatZeros = 17;
constexpr uint32_t kRepeatManyZeros = 18;
constexpr uint8_t kTokenExtraBits[kCodeLengthSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                         0, 0, 0, 0, 0, 0, 2, 3, 7};
constexpr uint32_t kMinCodeLengthCodes = 4;
constexpr uint32_t kHeaderCountBits = 5 + 5 + 4;  // HLIT, HDIST, HCLEN
constexpr uint32_t kBlockHeaderBits = 3;
constexpr uint32_t kStoredLengthBits = 32;  // LEN and NLEN

// The item loop stores the bit buffer after every item, which leaves 7 bits at most: any
// item fits beside them, a length code with its extra bits and a distance code with its.
static_assert(7 + 2 * kMaxCodeBits + 5 + 13 <= 64, "an item must fit the bit buffer");

struct BitSink {
  uint8_t* out;
  uint64_t buffer;
  uint32_t count;
};

inline void Put(BitSink& w, uint64_t bits, uint32_t n) {
  w.buffer |= bits << w.count;
  w.count += n;
}

inline void Flush(BitSink& w) {
  std::memcpy(w.out, &w.buffer, 8);
  w.out += w.count >> 3;
  w.buffer >>= w.count & 56;
  w.count &= 7;
}

// Run-length tokens of the code lengths a dynamic header sends (RFC 1951, 3.2.7).
void AddToken(BlockPlan* p, uint32_t symbol, uint32_t extra) {
  p->tokens[p->tokenCount] = static_cast<uint8_t>(symbol);
  p->tokenExtra[p->tokenCount++] = static_cast<uint8_t>(extra);
}

void MakeTokens(BlockPlan* p, const uint8_t* lengths, uint32_t total) {
  p->tokenCount = 0;
  for (uint32_t i = 0; i < total;) {
    const uint8_t v = lengths[i];
    uint32_t run = 1;
    while (i + run < total && lengths[i + run] == v) run++;
    uint32_t left = run;
    if (v == 0) {
      for (; left >= 11; left -= std::min(left, 138u)) AddToken(p, kRepeatManyZeros, std::min(left, 138u) - 11);
      if (left >= 3) {
        AddToken(p, kRepeatZeros, left - 3);
        left = 0;
      }
    } else {
      AddToken(p, v, 0);
      left--;
      for (; left >= 3; left -= std::min(left, 6u)) AddToken(p, kRepeatPrevious, std::min(left, 6u) - 3);
    }
    for (; left > 0; left--) AddToken(p, v, 0);
    i += run;
  }
}

// Bits of the items under the code in plan, extra bits included, end of block included.
uint64_t ItemBits(const DeflateState* s, const uint8_t* lengths, const uint8_t* distanceLengths) {
  uint64_t bits = 0;
  for (uint32_t sym = 0; sym < kMaxLengthCodes; sym++) {
    const uint32_t extra = sym > kEndOfBlockSymbol ? kLengthExtra[sym - 257] : 0;
    bits += uint64_t{s->literalLengthCounts[sym]} * (lengths[sym] + extra);
  }
  for (uint32_t d = 0; d < kMaxDistanceCodes; d++)
    bits += uint64_t{s->distanceCounts[d]} * (distanceLengths[d] + kDistanceExtra[d]);
  return bits;
}

// Counts with each stretch of similar nonzero counts set to its average: the code lengths
// then come in runs that the header's repeat symbols send in a few tokens, for a few bits
// more in the items. Whether that pays depends on the block, so both codes are priced.
// `parts`: a count joins the stretch within 1/parts of the average (or 2) from it.
constexpr uint32_t kMinSmoothedRun = 4;
constexpr uint32_t kSmoothingParts[] = {8, 4, 2};

bool CloseTo(uint32_t count, uint64_t sum, uint32_t n, uint32_t parts) {
  const uint64_t scaled = uint64_t{count} * n;
  const uint64_t off = scaled > sum ? scaled - sum : sum - scaled;
  return parts * off <= sum + 2 * parts * n;
}

void SmoothForRuns(const uint32_t* counts, uint32_t n, uint32_t parts, uint32_t* out) {
  std::copy(counts, counts + n, out);
  for (uint32_t i = 0; i < n;) {
    if (counts[i] == 0) {  // unused symbols stay without a code
      i++;
      continue;
    }
    uint32_t j = i + 1;
    uint64_t sum = counts[i];
    while (j < n && counts[j] != 0 && CloseTo(counts[j], sum, j - i, parts)) sum += counts[j++];
    if (j - i >= kMinSmoothedRun) std::fill(out + i, out + j, static_cast<uint32_t>((sum + (j - i) / 2) / (j - i)));
    i = j;
  }
}

// Bits of the state's items as a dynamic block under the code built from these counts.
uint64_t DynamicBitsUnder(DeflateState* s, const uint32_t* literalLengthCounts, const uint32_t* distanceCounts) {
  BlockPlan* p = &s->plan;
  // Symbols Deflate never sends keep no length from an earlier fixed block: the codes are
  // assigned over all of them.
  std::memset(p->lengths, 0, sizeof p->lengths);
  BuildCodeLengths(literalLengthCounts, kMaxLengthCodes, kMaxCodeBits, p->lengths);
  BuildCodeLengths(distanceCounts, kMaxDistanceCodes, kMaxCodeBits, p->lengths + kLengthSymbols);
  uint32_t lengthCodes = kMaxLengthCodes, distanceCodes = kMaxDistanceCodes;
  while (p->lengths[lengthCodes - 1] == 0) lengthCodes--;
  while (p->lengths[kLengthSymbols + distanceCodes - 1] == 0) distanceCodes--;
  p->lengthCodeCount = lengthCodes;
  p->distanceCodeCount = distanceCodes;

  uint8_t sent[kMaxLengthCodes + kMaxDistanceCodes];
  std::memcpy(sent, p->lengths, lengthCodes);
  std::memcpy(sent + lengthCodes, p->lengths + kLengthSymbols, distanceCodes);
  MakeTokens(p, sent, lengthCodes + distanceCodes);
  uint32_t tokenCounts[kCodeLengthSymbols] = {};
  for (uint32_t t = 0; t < p->tokenCount; t++) tokenCounts[p->tokens[t]]++;
  BuildCodeLengths(tokenCounts, kCodeLengthSymbols, kMaxCodeLengthBits, p->codeLengthLengths);
  uint32_t sentLengths = kCodeLengthSymbols;
  while (sentLengths > kMinCodeLengthCodes && p->codeLengthLengths[kCodeLengthOrder[sentLengths - 1]] == 0)
    sentLengths--;
  p->codeLengthCodeCount = sentLengths;

  uint64_t bits = kBlockHeaderBits + kHeaderCountBits + 3 * sentLengths;
  for (uint32_t sym = 0; sym < kCodeLengthSymbols; sym++)
    bits += uint64_t{tokenCounts[sym]} * (p->codeLengthLengths[sym] + kTokenExtraBits[sym]);
  return bits + ItemBits(s, p->lengths, p->lengths + kLengthSymbols);
}

uint64_t DynamicBits(DeflateState* s) {
  uint64_t best = DynamicBitsUnder(s, s->literalLengthCounts, s->distanceCounts);
  if (!s->settings->smoothCodes) return best;
  BlockPlan chosen = s->plan;
  for (uint32_t parts : kSmoothingParts) {
    uint32_t literalLength[kMaxLengthCodes], distance[kMaxDistanceCodes];
    SmoothForRuns(s->literalLengthCounts, kMaxLengthCodes, parts, literalLength);
    SmoothForRuns(s->distanceCounts, kMaxDistanceCodes, parts, distance);
    const uint64_t bits = DynamicBitsUnder(s, literalLength, distance);
    if (bits < best) {
      best = bits;
      chosen = s->plan;
    }
  }
  s->plan = chosen;
  return best;
}

void FixedLengths(uint8_t* lengths) {
  for (uint32_t sym = 0; sym < kLengthSymbols; sym++) lengths[sym] = static_cast<uint8_t>(FixedLength(kLiteralLengthCodes, sym));
  for (uint32_t d = 0; d < kDistanceSymbols; d++)
    lengths[kLengthSymbols + d] = static_cast<uint8_t>(FixedLength(kDistanceCodes, d));
}

uint64_t FixedBits(const DeflateState* s) {
  uint8_t lengths[kLengthSymbols + kDistanceSymbols];
  FixedLengths(lengths);
  return kBlockHeaderBits + ItemBits(s, lengths, lengths + kLengthSymbols);
}

uint32_t StoredPieces(uint32_t length) { return std::max(1u, (length + kMaxStoredPiece - 1) / kMaxStoredPiece); }

// The first piece pads from the state's bit position; later ones start on a byte.
uint64_t StoredBits(uint32_t bitCount, uint32_t length) {
  const uint32_t pad = (8 - (bitCount + kBlockHeaderBits) % 8) % 8;
  const uint64_t perPiece = kBlockHeaderBits + 5 + kStoredLengthBits;
  return kBlockHeaderBits + pad + kStoredLengthBits + (StoredPieces(length) - 1) * perPiece + 8ull * length;
}

void WriteDynamicHeader(BitSink& w, const BlockPlan* p) {
  Put(w, p->lengthCodeCount - 257, 5);
  Put(w, p->distanceCodeCount - 1, 5);
  Put(w, p->codeLengthCodeCount - kMinCodeLengthCodes, 4);
  Flush(w);
  for (uint32_t i = 0; i < p->codeLengthCodeCount; i++) {
    Put(w, p->codeLengthLengths[kCodeLengthOrder[i]], 3);
    Flush(w);
  }
  for (uint32_t t = 0; t < p->tokenCount; t++) {
    const uint32_t sym = p->tokens[t];
    Put(w, p->codeLengthCodes[sym], p->codeLengthLengths[sym]);
    Put(w, p->tokenExtra[t], kTokenExtraBits[sym]);
    Flush(w);
  }
}

// A literal's or a length's code with its extra bits, as bits << kCountBits | count, for one
// Put per item; a distance code's bits, its length and its extra bits beside.
constexpr uint32_t kCountBits = 8;
constexpr uint32_t kMatchEntries = 256;  // a match's entry is its length past the literals
static_assert(kMaxCodeBits + 5 + kCountBits <= 32, "a length's code and extra bits fit an entry");

inline void PutEntry(BitSink& w, uint32_t entry) { Put(w, entry >> kCountBits, entry & ((1u << kCountBits) - 1)); }

struct DistanceEntry {
  uint32_t code;
  uint32_t codeBits;
  uint32_t allBits;  // with the extra bits
  uint32_t base;
};

void MakeItemTables(const BlockPlan* p, uint32_t* symbols, DistanceEntry* distances) {
  for (uint32_t b = 0; b < 256; b++) symbols[b] = uint32_t{p->codes[b]} << kCountBits | p->lengths[b];
  for (uint32_t n = kMinMatch; n <= kDeflateMaxMatch; n++) {
    const uint32_t sym = kLengthSymbolOf[n];
    const uint32_t code = sym - 257;
    const uint32_t bits = p->codes[sym] | (n - kLengthBase[code]) << p->lengths[sym];
    symbols[kMatchEntries + n] = bits << kCountBits | (uint32_t{p->lengths[sym]} + kLengthExtra[code]);
  }
  for (uint32_t d = 0; d < kMaxDistanceCodes; d++) {
    const uint32_t bits = p->lengths[kLengthSymbols + d];
    distances[d] = {p->codes[kLengthSymbols + d], bits, bits + kDistanceExtra[d], kDistanceBase[d]};
  }
}

// The sink lives in registers while the items go out: a store through its byte pointer
// could alias anything in memory, the sink's own fields included.
void WriteItems(BitSink& sink, const DeflateState* s) {
  uint32_t symbols[kMatchEntries + kDeflateMaxMatch + 1];
  DistanceEntry distances[kMaxDistanceCodes];
  MakeItemTables(&s->plan, symbols, distances);
  BitSink w = sink;
  const DeflateItem* const items = s->items;
  const uint32_t count = s->itemCount;
  for (uint32_t i = 0; i < count; i++) {
    const DeflateItem item = items[i];
    // Literals take their own path: the branch is there for the distance anyway.
    if (item.distance == 0) {
      PutEntry(w, symbols[item.length]);
    } else {
      PutEntry(w, symbols[kMatchEntries + item.length]);
      const DistanceEntry& d = distances[DistanceCode(item.distance)];
      Put(w, d.code | uint64_t{item.distance - d.base} << d.codeBits, d.allBits);
    }
    Flush(w);
  }
  Put(w, s->plan.codes[kEndOfBlockSymbol], s->plan.lengths[kEndOfBlockSymbol]);
  Flush(w);
  sink = w;
}

void WriteStored(BitSink& w, const uint8_t* input, uint32_t length, bool final) {
  const uint32_t pieces = StoredPieces(length);
  for (uint32_t k = 0; k < pieces; k++) {
    const uint32_t n = std::min(length - k * kMaxStoredPiece, kMaxStoredPiece);
    Put(w, final && k + 1 == pieces ? 1 : 0, kBlockHeaderBits);
    Put(w, 0, (8 - w.count % 8) % 8);
    Put(w, n | (n ^ 0xFFFFu) << 16, kStoredLengthBits);
    Flush(w);
    std::memcpy(w.out, input + k * kMaxStoredPiece, n);
    w.out += n;
  }
}

}  // namespace

void PlanBlock(DeflateState* s, uint32_t length) {
  BlockPlan* p = &s->plan;
  s->literalLengthCounts[kEndOfBlockSymbol]++;
  const uint64_t dynamic = DynamicBits(s);
  const uint64_t fixed = FixedBits(s);
  const uint64_t stored = StoredBits(s->bitCount, length);
  p->type = kBlockDynamic;
  p->bits = dynamic;
  if (fixed <= p->bits) {
    p->type = kBlockFixed;
    p->bits = fixed;
    FixedLengths(p->lengths);
  }
  if (stored <= p->bits) {
    p->type = kBlockStored;
    p->bits = stored;
  }
  if (p->type == kBlockDynamic) AssignCodes(p->codeLengthLengths, kCodeLengthSymbols, p->codeLengthCodes);
  if (p->type != kBlockStored) {
    AssignCodes(p->lengths, kLengthSymbols, p->codes);
    AssignCodes(p->lengths + kLengthSymbols, kDistanceSymbols, p->codes + kLengthSymbols);
  }
}

void PlanEmptyStoredBlock(DeflateState* s) {
  s->plan.type = kBlockStored;
  s->plan.bits = StoredBits(s->bitCount, 0);
}

uint64_t DynamicBlockBits(DeflateState* s) { return DynamicBits(s); }

uint64_t PlannedBytes(const DeflateState* s) { return (s->bitCount + s->plan.bits + 7) / 8 + 8; }

uint8_t* WriteBlock(DeflateState* s, const uint8_t* input, uint32_t length, bool final, uint8_t* out) {
  BitSink w{out, s->bitBuffer, s->bitCount};
  const BlockPlan* p = &s->plan;
  if (p->type == kBlockStored) {
    WriteStored(w, input, length, final);
  } else {
    Put(w, final ? 1 : 0, 1);
    Put(w, p->type, 2);
    if (p->type == kBlockDynamic) WriteDynamicHeader(w, p);
    WriteItems(w, s);
  }
  if (final && w.count > 0) {
    // The stream ends on a whole byte.
    Flush(w);
    *w.out++ = static_cast<uint8_t>(w.buffer);
    w.buffer = 0;
    w.count = 0;
  }
  s->bitBuffer = w.buffer;
  s->bitCount = w.count;
  return w.out;
}
