#include "deflate/inflate.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "deflate/inflate_tables.h"

// The mode machine follows the stream bit by bit and takes input bytes only when a step
// needs them, so a call always stops at the same place whatever the chunking. The fast
// loop is an optimisation inside LengthCode: it runs while the input and output have
// margins large enough that no step needs a bounds check, reads the input a word at a time,
// and on leaving gives back the whole bytes it took ahead, which puts it exactly where the
// mode machine would be.

namespace {

// The fast loop's refill loads one word, takes the whole bytes of it that fit in the bit
// buffer (at most 7, when the buffer was empty) and leaves 56 to 63 bits held.
constexpr uint32_t kBufferBits = 64;
constexpr uint32_t kWordBytes = 8;
constexpr uint32_t kRefillBits = kBufferBits - 8;
constexpr uint32_t kRefillMaxTaken = (kBufferBits - 1) / 8;
static_assert(kRefillBits == 8 * kRefillMaxTaken,
              "count |= kRefillBits must add exactly the whole bytes a refill takes");
// One refill in front of the literal/length codes, one in front of the distance code.
constexpr uint32_t kRefillsPerIteration = 2;
// The loop runs while more than this many input bytes are left.
constexpr uint32_t kFastInputMargin = 16;
static_assert((kRefillsPerIteration - 1) * kRefillMaxTaken + kWordBytes <= kFastInputMargin,
              "the last refill of an iteration must load its whole word from the input");

// Match copies move whole words and may write up to this many bytes past the match.
constexpr uint32_t kCopySlack = 40;
// Words a match at distance 8 or more copies before its first test of the end: most matches
// are shorter than that.
constexpr uint32_t kFirstCopyWords = 5;
// CopyMatch lays down one period of a short distance's pattern before copying words.
constexpr uint8_t kPeriod[8] = {0, 0, 8, 9, 8, 10, 12, 14};
// CopyMatch's first write (kFirstCopyWords words, one word or one period) happens whatever
// the length, down to the 1 byte left of a match that began in the window; every later word
// starts before the match's end.
constexpr uint32_t MaxCopyOverrun() {
  uint32_t first = kFirstCopyWords * kWordBytes;
  for (uint8_t period : kPeriod) first = std::max<uint32_t>(first, period);
  return std::max(first - 1, kWordBytes - 1);
}
static_assert(MaxCopyOverrun() <= kCopySlack, "a match copy may write past the slack");
// Per iteration at most a literal and a longest Deflate match, with the copy's slack. Longer
// Deflate64 matches that do not fit are left to the mode machine.
constexpr uint32_t kFastOutputMargin = 1 + kDeflateMaxMatch + kCopySlack;

// The largest extra-bit count of the bases in a symbol table.
template <size_t N>
constexpr uint32_t MaxExtraBits(const std::array<CodeEntry, N>& symbols) {
  uint32_t most = 0;
  for (const CodeEntry& e : symbols)
    if (IsBase(e)) most = std::max(most, ConsumedBitsOf(e));
  return most;
}

constexpr uint32_t kCodeLengthLimit = 1u << kCodeLengthRootBits;  // lengths are at most 7 bits

inline uint64_t Mask(uint32_t n) { return (uint64_t{1} << n) - 1; }

inline uint64_t LoadLe64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;  // the product targets little-endian machines only
}

inline void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

// The call's view of the stream: input and output cursors and the bit buffer.
struct Cursor {
  const uint8_t* in;
  const uint8_t* inEnd;
  uint8_t* out;
  uint8_t* outEnd;
  uint8_t* outStart;  // output of this call begins here; earlier output is in the window
  uint64_t buffer;
  uint32_t count;
};

// Takes input bytes until n bits are held; false when the input runs out first.
inline bool Need(Cursor& c, uint32_t n) {
  while (c.count < n) {
    if (c.in == c.inEnd) return false;
    c.buffer |= uint64_t{*c.in++} << c.count;
    c.count += 8;
  }
  return true;
}

inline uint32_t Peek(const Cursor& c, uint32_t n) { return static_cast<uint32_t>(c.buffer & Mask(n)); }

inline void Drop(Cursor& c, uint32_t n) {
  c.buffer >>= n;
  c.count -= n;
}

inline uint32_t Take(Cursor& c, uint32_t n) {
  uint32_t v = Peek(c, n);
  Drop(c, n);
  return v;
}

// Tops the buffer up to at least kRefillBits with one word; a word of input must be left.
inline void RefillWord(Cursor& c) {
  c.buffer |= LoadLe64(c.in) << c.count;
  c.in += (kBufferBits - 1 - c.count) >> 3;
  c.count |= kRefillBits;
}

// Between steps the mode machine holds fewer than 8 bits: a step that took words gives back
// the whole bytes it holds.
inline void GiveBackWholeBytes(Cursor& c) {
  c.in -= c.count >> 3;
  c.count &= 7;
  c.buffer &= Mask(c.count);
}

// Decodes one code, taking only the bytes it needs (bits above count are zero, and an
// entry found that way is the true one once its own bits are all held). Consumes the code
// bits only, never a base's extra bits. False, with nothing consumed, when the input runs
// out.
bool ReadCode(Cursor& c, const CodeEntry* table, uint32_t rootBits, CodeEntry* found) {
  CodeEntry e = table[c.buffer & Mask(rootBits)];
  while (CodeBitsOf(e) > c.count) {
    if (!Need(c, c.count + 8)) return false;
    e = table[c.buffer & Mask(rootBits)];
  }
  uint32_t rootUsed = 0;
  if (IsLink(e)) {
    const CodeEntry* sub = table + ValueOf(e);
    const uint32_t width = SubTableWidthOf(e);
    e = sub[(c.buffer >> rootBits) & Mask(width)];
    while (rootBits + CodeBitsOf(e) > c.count) {
      if (!Need(c, c.count + 8)) return false;
      e = sub[(c.buffer >> rootBits) & Mask(width)];
    }
    rootUsed = rootBits;
  }
  Drop(c, rootUsed + CodeBitsOf(e));
  *found = e;
  return true;
}

// Copies a match whose source lies wholly in this call's output, in whole words. The
// result equals a byte-by-byte forward copy, overlap included; up to kCopySlack bytes past
// the match are scratch.
inline void CopyMatch(uint8_t* out, uint32_t distance, uint32_t length) {
  const uint8_t* src = out - distance;
  uint8_t* const end = out + length;
  if (distance >= 8) {
    // Every word read lies at least 8 bytes back, so it is complete when read.
    for (uint32_t i = 0; i < kFirstCopyWords; i++)
      Store64(out + i * kWordBytes, LoadLe64(src + i * kWordBytes));
    out += kFirstCopyWords * kWordBytes;
    src += kFirstCopyWords * kWordBytes;
    while (out < end) {
      Store64(out, LoadLe64(src));
      out += kWordBytes;
      src += kWordBytes;
    }
  } else if (distance == 1) {
    const uint64_t v = src[0] * 0x0101010101010101ULL;
    do {
      Store64(out, v);
      out += kWordBytes;
    } while (out < end);
  } else {
    // Lay down one period of the pattern that is a multiple of the distance and at least
    // 8 bytes, then copy words from one period back.
    const uint32_t period = kPeriod[distance];
    for (uint32_t i = 0; i < period; i++) out[i] = src[i];
    out += period;
    src = out - period;
    while (out < end) {
      Store64(out, LoadLe64(src));
      out += kWordBytes;
      src += kWordBytes;
    }
  }
}

// Copies the window's byte `back` behind windowNext and the following ones, wrapping at
// the window's end; n never passes windowNext.
void CopyFromWindow(const InflateStream* stream, uint32_t windowSize, uint32_t back, uint8_t* out,
                    uint32_t n) {
  const InflateState* s = stream->state;
  const uint32_t start = (s->windowNext + windowSize - back) % windowSize;
  const uint32_t first = std::min(n, windowSize - start);
  std::memcpy(out, stream->window + start, first);
  std::memcpy(out + first, stream->window, n - first);
}

struct Decoder {
  InflateStream* stream;
  InflateState* s;
  const DeflateVariant* v;
  Cursor c;
  bool atBlockEnd;  // the call stopped in front of a block header, for the caller's record
};

// A match that reaches before this call's output, in the fast loop: its start comes from
// the window, the rest from the output. False when it reaches before the stream's start.
bool CopyWindowMatch(Decoder& d, uint8_t* out, uint32_t distance, uint32_t length) {
  const uint32_t back = distance - static_cast<uint32_t>(out - d.c.outStart);
  if (back > d.s->windowFill) return false;
  const uint32_t fromWindow = std::min(back, length);
  CopyFromWindow(d.stream, d.v->windowSize, back, out, fromWindow);
  if (length > fromWindow) CopyMatch(out + fromWindow, distance, length - fromWindow);
  return true;
}

// Tops the bit buffer up to at least kRefillBits with one word load; bits loaded above count
// are the stream's own next bits, so loading them again later changes nothing. Only the low
// six bits of count are the count (see FastLoop), and the OR adds exactly the whole bytes
// taken.
#define QBX_REFILL()                                       \
  do {                                                     \
    buffer |= LoadLe64(in) << (count & kCountMask);        \
    in += (kBufferBits - 1 - (count & kCountMask)) >> 3;   \
    count |= kRefillBits;                                  \
  } while (0)

// Takes an entry's bits: the code, and for a base its extra bits too. Subtracting the whole
// entry keeps the low byte of count exact, as the entry's low byte is the bits consumed.
#define QBX_CONSUME(entry)                        \
  do {                                            \
    buffer >>= (entry) & kEntryConsumedMask;      \
    count -= (entry);                             \
  } while (0)

// count's low byte is the number of bits held, and its bits 6 and 7 stay clear: an entry's
// low byte never exceeds the bits held, so the subtraction never borrows from it.
constexpr uint32_t kCountMask = kBufferBits - 1;
static_assert(kEntryConsumedMask == kCountMask && kRefillBits <= kCountMask);

// Always inlined so that each variant below compiles it for its own instruction set.
template <const DeflateVariant& V>
[[gnu::always_inline]] inline void FastLoop(Decoder& d) {
  // Nothing in the loop checks count. After the refill at the top it takes a literal, then a
  // literal or a length with its extra bits, and looks up the next literal/length entry
  // while at least a whole code is held; after the refill in front of the distance it takes
  // the distance with its extra bits and again looks up the next entry.
  constexpr uint32_t kLengthBits = kMaxCodeBits + MaxExtraBits(V.lengthSymbols);
  constexpr uint32_t kDistanceBits = kMaxCodeBits + MaxExtraBits(V.distanceSymbols);
  static_assert(3 * kMaxCodeBits <= kRefillBits, "two literals and the next lookup must fit");
  static_assert(kMaxCodeBits + kLengthBits <= kRefillBits,
                "a literal and a length must fit in one refill");
  static_assert(kDistanceBits + kMaxCodeBits <= kRefillBits,
                "a distance and the next lookup must fit in one refill");
  // Where a literal, a length and a whole distance code fit in one refill, the distance's
  // entry is looked up before the refill, which then runs beside the lookup.
  constexpr bool kDistanceLookupFirst = 2 * kMaxCodeBits + kLengthBits <= kRefillBits;
  static_assert(MaxExtraBits(V.lengthSymbols) <= kMaxExtraBits &&
                MaxExtraBits(V.distanceSymbols) <= kMaxExtraBits);
  // The output margin covers two literals, or a literal and a match of up to maxMatch bytes;
  // longer matches are checked against the room left.
  static_assert(2 <= kFastOutputMargin);
  constexpr bool kMatchesFitMargin = 1 + V.maxMatch + kCopySlack <= kFastOutputMargin;
  InflateState* const s = d.s;
  const uint8_t* in = d.c.in;
  uint8_t* out = d.c.out;
  const uint8_t* const inLimit = d.c.inEnd - kFastInputMargin;
  uint8_t* const outLimit = d.c.outEnd - kFastOutputMargin;
  uint64_t buffer = d.c.buffer;
  uint32_t count = d.c.count;
  const CodeEntry* const lengths = s->lengthTable;
  const CodeEntry* const distances = s->distanceTable;
  constexpr uint64_t kLengthMask = (1u << kLengthRootBits) - 1;
  constexpr uint64_t kDistanceMask = (1u << kDistanceRootBits) - 1;
  uint32_t mode = kInflateLengthCode;

  // Each iteration starts with the entry of its first code already looked up, so the lookup
  // overlaps the refill and the previous match copy. The first one peeks at the next word
  // without taking it, which the refill at the top then takes; the caller saw room for it.
  buffer |= LoadLe64(in) << count;
  CodeEntry e = lengths[buffer & kLengthMask];
  while (in < inLimit && out < outLimit) {
    QBX_REFILL();
    uint64_t saved = buffer;
    QBX_CONSUME(e);
    if (IsLiteral(e)) [[likely]] {
      *out++ = static_cast<uint8_t>(ValueOf(e));
      e = lengths[buffer & kLengthMask];
      saved = buffer;
      QBX_CONSUME(e);
      if (IsLiteral(e)) [[likely]] {
        *out++ = static_cast<uint8_t>(ValueOf(e));
        e = lengths[buffer & kLengthMask];
        continue;
      }
    }
    if (!IsBase(e)) [[unlikely]] {
      if (IsLink(e)) {
        // The root bits are consumed; the sub-table is indexed by the bits behind them.
        e = lengths[ValueOf(e) + (buffer & Mask(SubTableWidthOf(e)))];
        saved = buffer;
        QBX_CONSUME(e);
        if (IsLiteral(e)) {
          *out++ = static_cast<uint8_t>(ValueOf(e));
          e = lengths[buffer & kLengthMask];
          continue;
        }
      }
      if (!IsBase(e)) {
        mode = IsEndOfBlock(e) ? kInflateBlockHeader : kInflateFailed;
        break;
      }
    }
    const uint32_t length = BaseWithExtra(e, saved);

    if constexpr (kDistanceLookupFirst) {
      e = distances[buffer & kDistanceMask];
      QBX_REFILL();
    } else {
      QBX_REFILL();
      e = distances[buffer & kDistanceMask];
    }
    saved = buffer;
    QBX_CONSUME(e);
    if (!IsBase(e)) [[unlikely]] {
      if (IsLink(e)) {
        e = distances[ValueOf(e) + (buffer & Mask(SubTableWidthOf(e)))];
        saved = buffer;
        QBX_CONSUME(e);
      }
      if (!IsBase(e)) {
        mode = kInflateFailed;
        break;
      }
    }
    const uint32_t distance = BaseWithExtra(e, saved);
    e = lengths[buffer & kLengthMask];

    if constexpr (!kMatchesFitMargin) {
      if (length + kCopySlack > static_cast<uint64_t>(d.c.outEnd - out)) {
        // Too long for the room left: the mode machine copies it in parts.
        s->length = length;
        s->distance = distance;
        mode = kInflateMatchCopy;
        break;
      }
    }
    if (distance > static_cast<uint64_t>(out - d.c.outStart)) [[unlikely]] {
      if (!CopyWindowMatch(d, out, distance, length)) {
        mode = kInflateFailed;
        break;
      }
    } else {
      CopyMatch(out, distance, length);
    }
    out += length;
  }

  // Give back the whole bytes taken ahead.
  count &= kCountMask;
  in -= count >> 3;
  count &= 7;
  d.c.in = in;
  d.c.out = out;
  d.c.buffer = buffer & Mask(count);
  d.c.count = count;
  s->decodeMode = mode;
}

#undef QBX_CONSUME

template <const DeflateVariant& V>
void FastLoopPortable(Decoder& d) {
  FastLoop<V>(d);
}

// With BMI2 a shift by a register count and the masking of low bits are one instruction
// each, and both sit on the loop's critical path: x86-64 builds carry a second copy of the
// loop for processors that have it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QBX_INFLATE_BMI2 1

template <const DeflateVariant& V>
__attribute__((target("bmi2"))) void FastLoopBmi2(Decoder& d) {
  FastLoop<V>(d);
}

bool HasBmi2() {
  static const bool has = __builtin_cpu_supports("bmi2");
  return has;
}
#endif

template <const DeflateVariant& V>
void RunFastLoop(Decoder& d) {
#ifdef QBX_INFLATE_BMI2
  if (HasBmi2()) return FastLoopBmi2<V>(d);
#endif
  FastLoopPortable<V>(d);
}

#undef QBX_REFILL

// Each step returns false to leave the call: the input ran out, the output is full, or
// the stream is finished or failed. Steps that stop for input are repeated from their start.

bool StepBlockHeader(Decoder& d) {
  InflateState* s = d.s;
  if (s->finalBlock) {
    Drop(d.c, d.c.count & 7);
    s->decodeMode = kInflateFinished;
    return true;
  }
  if (s->stopAtBlocks != 0 && s->boundaryReported == 0) {
    s->boundaryReported = 1;
    d.atBlockEnd = true;
    return false;
  }
  if (!Need(d.c, 3)) return false;
  s->boundaryReported = 0;
  const uint32_t header = Take(d.c, 3);
  s->finalBlock = header & 1;
  switch (header >> 1) {
    case 0:
      s->decodeMode = kInflateStoredHeader;
      break;
    case 1:
      s->lengthTable = d.v->fixedLengths.data();
      s->distanceTable = d.v->fixedDistances.data();
      s->lengthRootBits = kLengthRootBits;
      s->distanceRootBits = kDistanceRootBits;
      s->decodeMode = kInflateLengthCode;
      break;
    case 2:
      s->decodeMode = kInflateTableHeader;
      break;
    default:
      s->decodeMode = kInflateFailed;
      break;
  }
  return true;
}

bool StepStoredHeader(Decoder& d) {
  Drop(d.c, d.c.count & 7);
  if (!Need(d.c, 32)) return false;
  const uint32_t word = Peek(d.c, 32);
  if ((word & 0xFFFF) != (~word >> 16)) {
    d.s->decodeMode = kInflateFailed;
    return true;
  }
  d.s->length = word & 0xFFFF;
  d.c.buffer = 0;
  d.c.count = 0;
  d.s->decodeMode = kInflateStoredCopy;
  return true;
}

bool StepStoredCopy(Decoder& d) {
  if (d.s->length == 0) {
    d.s->decodeMode = kInflateBlockHeader;
    return true;
  }
  const size_t n = std::min({size_t{d.s->length}, size_t(d.c.inEnd - d.c.in),
                             size_t(d.c.outEnd - d.c.out)});
  if (n == 0) return false;
  std::memcpy(d.c.out, d.c.in, n);
  d.c.in += n;
  d.c.out += n;
  d.s->length -= static_cast<uint32_t>(n);
  return true;
}

bool StepTableHeader(Decoder& d) {
  InflateState* s = d.s;
  if (!Need(d.c, 14)) return false;
  s->lengthCodeCount = Take(d.c, 5) + 257;
  s->distanceCodeCount = Take(d.c, 5) + 1;
  s->codeLengthCount = Take(d.c, 4) + 4;
  const bool tooMany =
      s->lengthCodeCount > kMaxLengthCodes || s->distanceCodeCount > d.v->maxDistanceCodes;
  s->lengthsRead = 0;
  s->decodeMode = tooMany ? kInflateFailed : kInflateCodeLengthLengths;
  return true;
}

bool StepCodeLengthLengths(Decoder& d) {
  InflateState* s = d.s;
  while (s->lengthsRead < s->codeLengthCount) {
    if (!Need(d.c, 3)) return false;
    s->lengths[kCodeLengthOrder[s->lengthsRead++]] = static_cast<uint16_t>(Take(d.c, 3));
  }
  for (uint32_t i = s->codeLengthCount; i < kCodeLengthSymbols; i++)
    s->lengths[kCodeLengthOrder[i]] = 0;
  uint32_t used = 0;
  const CodeShape shape = {kCodeLengthCodes, kCodeLengthRootBits, kCodeLengthLimit, nullptr};
  const int32_t built =
      BuildCodeTable(shape, s->lengths, kCodeLengthSymbols, s->entries, s->sortedSymbols, &used);
  s->nextEntry = s->entries + used;
  s->lengthsRead = 0;
  s->decodeMode = built == kTableBuilt ? kInflateCodeLengths : kInflateFailed;
  return true;
}

// Builds the block's literal/length table and then its distance table into entries.
uint32_t BuildBlockTables(Decoder& d) {
  InflateState* s = d.s;
  uint32_t used = 0;
  const CodeShape lengthShape = {kLiteralLengthCodes, kLengthRootBits, kLengthTableLimit,
                                 d.v->lengthSymbols.data()};
  if (BuildCodeTable(lengthShape, s->lengths, s->lengthCodeCount, s->entries, s->sortedSymbols,
                     &used) != kTableBuilt)
    return kInflateFailed;
  s->lengthTable = s->entries;
  s->nextEntry = s->entries + used;
  const CodeShape distanceShape = {kDistanceCodes, kDistanceRootBits, kDistanceTableLimit,
                                   d.v->distanceSymbols.data()};
  if (BuildCodeTable(distanceShape, s->lengths + s->lengthCodeCount, s->distanceCodeCount,
                     s->nextEntry, s->sortedSymbols, &used) != kTableBuilt)
    return kInflateFailed;
  s->distanceTable = s->nextEntry;
  s->nextEntry += used;
  s->lengthRootBits = kLengthRootBits;
  s->distanceRootBits = kDistanceRootBits;
  return kInflateLengthCode;
}

// Symbols 16, 17 and 18 of the code-length code: what they repeat and how often.
constexpr uint8_t kRepeatExtraBits[3] = {2, 3, 7};
constexpr uint8_t kRepeatBase[3] = {3, 3, 11};

// A code-length symbol's code and a repeat's extra bits.
constexpr uint32_t kLengthSymbolBits = kCodeLengthRootBits + kRepeatExtraBits[2];
static_assert(kLengthSymbolBits <= kRefillBits);

bool StepCodeLengths(Decoder& d) {
  InflateState* s = d.s;
  const uint32_t total = s->lengthCodeCount + s->distanceCodeCount;
  while (s->lengthsRead < total) {
    // While a word of input is left, one load holds the bits of several lengths; the bytes
    // taken ahead are given back at the end. Close to the input's end bytes come one at a
    // time, so that a call that runs out has taken exactly what the mode machine takes.
    if (d.c.inEnd - d.c.in >= kWordBytes && d.c.count < kLengthSymbolBits) RefillWord(d.c);
    // Peek the symbol first: a repeat is one step with its extra bits.
    CodeEntry e = s->entries[d.c.buffer & Mask(kCodeLengthRootBits)];
    while (CodeBitsOf(e) > d.c.count) {
      if (!Need(d.c, d.c.count + 8)) return false;
      e = s->entries[d.c.buffer & Mask(kCodeLengthRootBits)];
    }
    if (!IsLiteral(e)) {
      s->decodeMode = kInflateFailed;
      return true;
    }
    const uint32_t symbol = ValueOf(e);
    if (symbol < 16) {
      Drop(d.c, CodeBitsOf(e));
      s->lengths[s->lengthsRead++] = static_cast<uint16_t>(symbol);
      continue;
    }
    const uint32_t r = symbol - 16;
    if (!Need(d.c, CodeBitsOf(e) + kRepeatExtraBits[r])) return false;
    Drop(d.c, CodeBitsOf(e));
    const uint32_t times = kRepeatBase[r] + Take(d.c, kRepeatExtraBits[r]);
    if ((r == 0 && s->lengthsRead == 0) || s->lengthsRead + times > total) {
      s->decodeMode = kInflateFailed;
      return true;
    }
    const uint16_t value = r == 0 ? s->lengths[s->lengthsRead - 1] : 0;
    for (uint32_t i = 0; i < times; i++) s->lengths[s->lengthsRead++] = value;
  }
  GiveBackWholeBytes(d.c);
  s->decodeMode = s->lengths[kEndOfBlockSymbol] == 0 ? kInflateFailed : BuildBlockTables(d);
  return true;
}

bool FastLoopFits(const Cursor& c) {
  return c.inEnd - c.in > kFastInputMargin && c.outEnd - c.out > kFastOutputMargin;
}

template <const DeflateVariant& V>
bool StepLengthCode(Decoder& d) {
  InflateState* s = d.s;
  if (FastLoopFits(d.c)) {
    RunFastLoop<V>(d);
    if (s->decodeMode != kInflateLengthCode || FastLoopFits(d.c)) return true;
  }
  CodeEntry e;
  if (!ReadCode(d.c, s->lengthTable, s->lengthRootBits, &e)) return false;
  s->length = ValueOf(e);
  if (IsLiteral(e)) {
    s->decodeMode = kInflateLiteralOut;
  } else if (IsBase(e)) {
    s->extraBits = ExtraBitsOf(e);
    s->decodeMode = kInflateLengthExtra;
  } else {
    s->decodeMode = IsEndOfBlock(e) ? kInflateBlockHeader : kInflateFailed;
  }
  return true;
}

// Adds a length's or distance's extra bits to its base.
bool AddExtraBits(Decoder& d, uint32_t* value, uint32_t nextMode) {
  if (!Need(d.c, d.s->extraBits)) return false;
  *value += Take(d.c, d.s->extraBits);
  d.s->decodeMode = nextMode;
  return true;
}

bool StepLengthExtra(Decoder& d) { return AddExtraBits(d, &d.s->length, kInflateDistanceCode); }

bool StepDistanceCode(Decoder& d) {
  InflateState* s = d.s;
  CodeEntry e;
  if (!ReadCode(d.c, s->distanceTable, s->distanceRootBits, &e)) return false;
  if (!IsBase(e)) {
    s->decodeMode = kInflateFailed;
    return true;
  }
  s->distance = ValueOf(e);
  s->extraBits = ExtraBitsOf(e);
  s->decodeMode = kInflateDistanceExtra;
  return true;
}

bool StepDistanceExtra(Decoder& d) { return AddExtraBits(d, &d.s->distance, kInflateMatchCopy); }

// One part of a match: from this call's output when the source lies there, else from the
// window up to its end or up to windowNext.
bool StepMatchCopy(Decoder& d) {
  InflateState* s = d.s;
  const uint32_t room = static_cast<uint32_t>(d.c.outEnd - d.c.out);
  if (room == 0) return false;
  const uint32_t made = static_cast<uint32_t>(d.c.out - d.c.outStart);
  uint32_t n = std::min(s->length, room);
  if (s->distance <= made) {
    const uint8_t* src = d.c.out - s->distance;
    for (uint32_t i = 0; i < n; i++) d.c.out[i] = src[i];
  } else {
    const uint32_t back = s->distance - made;
    if (back > s->windowFill) {
      s->decodeMode = kInflateFailed;
      return true;
    }
    const uint32_t w = d.v->windowSize;
    const uint32_t start = (s->windowNext + w - back) % w;
    n = std::min(n, start < s->windowNext ? s->windowNext - start : w - start);
    CopyFromWindow(d.stream, w, back, d.c.out, n);
  }
  d.c.out += n;
  s->length -= n;
  if (s->length == 0) s->decodeMode = kInflateLengthCode;
  return true;
}

bool StepLiteralOut(Decoder& d) {
  if (d.c.out == d.c.outEnd) return false;
  *d.c.out++ = static_cast<uint8_t>(d.s->length);
  d.s->decodeMode = kInflateLengthCode;
  return true;
}

template <const DeflateVariant& V>
bool Step(Decoder& d) {
  switch (d.s->decodeMode) {
    case kInflateBlockHeader: return StepBlockHeader(d);
    case kInflateStoredHeader: return StepStoredHeader(d);
    case kInflateStoredCopy: return StepStoredCopy(d);
    case kInflateTableHeader: return StepTableHeader(d);
    case kInflateCodeLengthLengths: return StepCodeLengthLengths(d);
    case kInflateCodeLengths: return StepCodeLengths(d);
    case kInflateLengthCode: return StepLengthCode<V>(d);
    case kInflateLengthExtra: return StepLengthExtra(d);
    case kInflateDistanceCode: return StepDistanceCode(d);
    case kInflateDistanceExtra: return StepDistanceExtra(d);
    case kInflateMatchCopy: return StepMatchCopy(d);
    case kInflateLiteralOut: return StepLiteralOut(d);
    default: return false;  // finished or failed
  }
}

// Keeps the last window-size bytes of all output so far, for matches of later calls.
bool UpdateWindow(InflateStream* stream, const uint8_t* produced, uint32_t count,
                  uint32_t windowSize) {
  InflateState* s = stream->state;
  if (!stream->window) {
    stream->window = static_cast<uint8_t*>(std::malloc(windowSize));
    if (!stream->window) return false;
    s->windowFill = 0;
    s->windowNext = 0;
  }
  if (count >= windowSize) {
    std::memcpy(stream->window, produced + count - windowSize, windowSize);
    s->windowNext = 0;
    s->windowFill = windowSize;
    return true;
  }
  const uint32_t first = std::min(count, windowSize - s->windowNext);
  std::memcpy(stream->window + s->windowNext, produced, first);
  const uint32_t rest = count - first;
  if (rest > 0) {
    std::memcpy(stream->window, produced + first, rest);
    s->windowNext = rest;
    s->windowFill = windowSize;
  } else {
    s->windowNext = (s->windowNext + first) % windowSize;
    s->windowFill = std::min(s->windowFill + first, windowSize);
  }
  return true;
}

template <const DeflateVariant& V>
InflateResult Run(InflateStream* stream) {
  if (!stream || !stream->state || !stream->output || (!stream->input && stream->inputLeft))
    return kInflateBadCall;
  InflateState* s = stream->state;
  if (s->decodeMode > kInflateOutOfMemory) return kInflateBadCall;
  if (s->decodeMode == kInflateOutOfMemory) return kInflateNoMemory;

  Decoder d{stream, s, &V,
            Cursor{stream->input, stream->input + stream->inputLeft, stream->output,
                   stream->output + stream->outputLeft, stream->output, s->bitBuffer,
                   s->bitCount},
            false};
  while (Step<V>(d)) {
  }

  const uint32_t consumed = static_cast<uint32_t>(d.c.in - stream->input);
  const uint32_t produced = static_cast<uint32_t>(d.c.out - d.c.outStart);
  stream->input = d.c.in;
  stream->inputLeft -= consumed;
  stream->output = d.c.out;
  stream->outputLeft -= produced;
  s->bitBuffer = d.c.buffer;
  s->bitCount = d.c.count;

  if (stream->window || (produced > 0 && s->decodeMode != kInflateFailed)) {
    if (!UpdateWindow(stream, d.c.outStart, produced, V.windowSize)) {
      s->decodeMode = kInflateOutOfMemory;
      return kInflateNoMemory;
    }
  }
  if (s->decodeMode == kInflateFailed) return kInflateBadData;
  if (s->decodeMode == kInflateFinished) return kInflateDone;
  if (d.atBlockEnd) return kInflateBlockEnd;
  return consumed || produced ? kInflateProgress : kInflateNoProgress;
}

}  // namespace

InflateResult Inflate(InflateStream* stream) { return Run<kDeflate>(stream); }

InflateResult Inflate64(InflateStream* stream) { return Run<kDeflate64>(stream); }

InflateState* NewInflateState() {
  auto* s = static_cast<InflateState*>(std::calloc(1, sizeof(InflateState)));
  if (s) s->lengthTable = s->distanceTable = s->nextEntry = s->entries;
  return s;
}

bool ResumeInflate(InflateStream* stream, uint32_t windowSize, uint64_t bits, uint32_t bitCount,
                   const uint8_t* history, uint32_t historyLength) {
  InflateState* s = stream->state;
  if (stream->window == nullptr) stream->window = static_cast<uint8_t*>(std::malloc(windowSize));
  if (stream->window == nullptr) return false;
  historyLength = std::min(historyLength, windowSize);
  std::memcpy(stream->window, history, historyLength);
  s->windowFill = historyLength;
  s->windowNext = historyLength % windowSize;
  s->bitBuffer = bits;
  s->bitCount = bitCount;
  s->decodeMode = kInflateBlockHeader;
  s->finalBlock = 0;
  // The stop in front of this header was made when the point was taken.
  s->boundaryReported = 1;
  return true;
}

uint32_t CopyInflateHistory(const InflateStream* stream, uint32_t windowSize, uint8_t* out) {
  const InflateState* s = stream->state;
  if (stream->window == nullptr || s->windowFill == 0) return 0;
  const uint32_t start = (s->windowNext + windowSize - s->windowFill) % windowSize;
  const uint32_t first = std::min(s->windowFill, windowSize - start);
  std::memcpy(out, stream->window + start, first);
  std::memcpy(out + first, stream->window, s->windowFill - first);
  return s->windowFill;
}

void EndInflateStream(InflateStream* stream) {
  std::free(stream->window);
  std::free(stream->state);
  stream->window = nullptr;
  stream->state = nullptr;
}
