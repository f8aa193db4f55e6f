// The encoder at every level: each sample is encoded whole, fed a byte at a time, split at
// several points and given one byte of output room at a time; every way must make the same
// stream, and our decoder must give the sample back, also from pieces encoded apart. Incompressible data must come out as
// stored blocks, and only they. Other decoders read the streams in tests/interop/deflate_interop.sh.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "deflate/block_writer.h"
#include "deflate/deflate_encode.h"
#include "deflate/deflate_parse.h"
#include "deflate/inflate.h"
#include "support/case_name.h"
#include "support/deflate_writer.h"

namespace {

constexpr DeflateLevel kAllLevels[] = {kDeflateFast, kDeflateNormal, kDeflateBest};

// Lines of words drawn with a skewed choice, as in prose.
Bytes Text(size_t count, uint32_t seed) {
  static const char* const words[] = {"the", "of", "archive", "member", "and", "a", "window", "stream",
                                      "to", "block", "in", "header", "data", "is", "deflate", "quill",
                                      "box", "for", "with", "compressed", "bytes", "that", "code", "each"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < count) {
    const uint32_t r = random() % 1000;
    text += words[(r * r / 1000) * 24 / 1000];
    text += random() % 11 == 0 ? ".\n" : " ";
  }
  text.resize(count);
  return BytesOf(text);
}

// Little-endian records with counters and a few fixed fields, as binaries and tables have.
Bytes Records(size_t count) {
  Bytes b;
  for (uint32_t i = 0; b.size() < count; i++)
    for (uint32_t v : {i, i * 7u, 0x00401000u + (i & 0xFF) * 16, 0u}) b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  b.resize(count);
  return b;
}

struct Sample {
  const char* what;
  Bytes data;
  double mostRatio;     // compressed size over input size, at any level
  bool stored = false;  // stored blocks alone
};

std::vector<Sample> Samples() {
  // Past the buffer's capacity, so the window slides, with blocks of every type.
  const Bytes mix = Joined({Text(150000, 1), RandomBytes(70000, 2), Bytes(40000, 'x'), Text(150000, 3),
                            Records(100000), Text(60000, 1)});
  const Bytes noise = RandomBytes(20000, 5);
  return {{"empty", {}, 2.0 / 1},  // an empty final block of two bytes
          {"one byte", {'q'}, 3.0},
          {"long run", Bytes(300000, 0), 0.01},
          // Incompressible: stored, within a few bytes per 64 KiB.
          {"random", RandomBytes(300000, 4), 1.0001, true},
          // The same random bytes twice, a window apart at most: the second copy is all matches.
          {"random twice", Joined({noise, noise}), 0.525},
          {"text", Text(200000, 5), 0.45},
          {"records", Records(200000), 0.4},
          // A fixed-code block (all long matches) before dynamic ones.
          {"run then text", Joined({Bytes(140000, 0), Text(100000, 6)}), 0.45},
          {"mix crossing blocks", mix, 0.6},
          // Within one block of the best level: cut in two, the second half stored.
          {"text then random", Joined({Text(40000, 7), RandomBytes(25000, 8)}), 0.6}};
}

void PrintTo(const Sample& sample, std::ostream* os) { *os << sample.what; }

struct Encoded { DeflateResult result = kDeflateBadCall; Bytes stream; };

// Feeds the data in pieces of the sizes taken in turn (lastInput with the last one, or on an
// extra empty call) and takes output in blocks of outBlock. Each piece and block is its own
// allocation, so overruns show under ASan; a block no call wrote to serves the next call
// (a megabyte made afresh for each of 300000 calls takes ASan minutes).
Encoded EncodeInPieces(DeflateLevel level, const Bytes& data, const std::vector<size_t>& pieces, size_t outBlock,
                       bool emptyLastCall) {
  DeflateStream s{};
  s.state = NewDeflateState(level);
  Encoded e;
  std::unique_ptr<uint8_t[]> piece, out(new uint8_t[outBlock]);
  size_t at = 0, turn = 0;
  bool last = false;
  while (e.result != kDeflateDone) {
    if (s.inputLeft == 0 && !last) {
      const size_t n = std::min(pieces[turn++ % pieces.size()], data.size() - at);
      piece.reset(new uint8_t[n + 1]);
      std::copy(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n), piece.get());
      s.input = piece.get();
      s.inputLeft = static_cast<uint32_t>(n);
      at += n;
      last = at == data.size() && !(emptyLastCall && n > 0);
    }
    s.output = out.get();
    s.outputLeft = static_cast<uint32_t>(outBlock);
    e.result = Deflate(&s, last);
    e.stream.insert(e.stream.end(), out.get(), out.get() + (outBlock - s.outputLeft));
    if (e.result < 0) break;
    if (s.outputLeft != outBlock) out.reset(new uint8_t[outBlock]);
  }
  EndDeflateStream(&s);
  return e;
}

Encoded EncodeWhole(DeflateLevel level, const Bytes& data) {
  Encoded e;
  e.stream.resize(DeflateBound(data.size()));
  size_t written = 0;
  e.result = DeflateBuffer(level, data.data(), data.size(), e.stream.data(), e.stream.size(), &written);
  e.stream.resize(written);
  return e;
}

// Our decoder, with room for all output at once; the stream must end at its last byte.
bool InflatesTo(const Bytes& stream, const Bytes& expected) {
  Bytes out(expected.size() + 1);
  InflateStream s{stream.data(), static_cast<uint32_t>(stream.size()), out.data(), static_cast<uint32_t>(out.size()),
                  NewInflateState(), nullptr};
  const InflateResult r = Inflate(&s);
  const bool same = r == kInflateDone && s.inputLeft == 0 && s.outputLeft == 1 &&
                    std::equal(expected.begin(), expected.end(), out.begin());
  EndInflateStream(&s);
  return same;
}

// True when the stream is nothing but stored blocks, the last one final.
bool OnlyStoredBlocks(const Bytes& stream) {
  size_t at = 0;
  for (;;) {
    if (at + 5 > stream.size() || (stream[at] & 6) != 0) return false;
    const bool final = stream[at] & 1;
    const size_t length = stream[at + 1] | stream[at + 2] << 8;
    at += 5 + length;
    if (final) return at == stream.size();
  }
}

using DeflateCase = testing::TestWithParam<Sample>;

TEST_P(DeflateCase, EveryWayOfFeedingMakesOneStreamThatInflatesBack) {
  const Sample& sample = GetParam();
  const Bytes& data = sample.data;
  const size_t all = data.size() + 1;
  for (DeflateLevel level : kAllLevels) {
    SCOPED_TRACE("level " + std::to_string(level));
    const Encoded whole = EncodeWhole(level, data);
    ASSERT_EQ(whole.result, kDeflateDone);
    EXPECT_TRUE(InflatesTo(whole.stream, data));
    EXPECT_LE(static_cast<double>(whole.stream.size()), sample.mostRatio * static_cast<double>(std::max<size_t>(data.size(), 1)));
    EXPECT_EQ(OnlyStoredBlocks(whole.stream), sample.stored);
    struct Way { const char* how; std::vector<size_t> pieces; size_t outBlock; bool emptyLastCall; };
    const Way ways[] = {{"byte by byte", {1}, 1u << 20, false},
                        {"split at several points", {1, 100, 4096, 65536, 3, 200000}, 70000, true},
                        {"one byte of output at a time", {all}, 1, false}};
    for (const Way& way : ways) {
      const Encoded got = EncodeInPieces(level, data, way.pieces, way.outBlock, way.emptyLastCall);
      EXPECT_EQ(got.result, kDeflateDone) << way.how;
      EXPECT_TRUE(got.stream == whole.stream) << way.how;
    }
  }
}

// Streams of a thread reuse the state the last one ended with, clearing only part of it.
// Whatever it held (random bytes, another level's tables), the stream is a fresh state's.
Encoded EncodeOn(DeflateState* state, const Bytes& data) {
  DeflateStream s{data.data(), static_cast<uint32_t>(data.size()), nullptr, 0, state};
  Encoded e;
  e.stream.resize(DeflateBound(data.size()));
  s.output = e.stream.data();
  s.outputLeft = static_cast<uint32_t>(e.stream.size());
  e.result = Deflate(&s, true);
  e.stream.resize(e.stream.size() - s.outputLeft);
  EndDeflateStream(&s);
  return e;
}

// A state left by a stream at the same level or another must carry nothing over: tables,
// counts, the best level's cost model.
TEST_P(DeflateCase, AReusedStateEncodesAsAFreshOne) {
  const Bytes noise = RandomBytes(400000, 9);
  for (DeflateLevel level : kAllLevels) {
    for (const auto previous : {level, static_cast<DeflateLevel>((level + 1) % kDeflateLevelCount)}) {
      SCOPED_TRACE("level " + std::to_string(level) + " after " + std::to_string(previous));
      DeflateState* const before = NewDeflateState(previous);  // the thread's spare, if any
      DeflateState* const fresh = NewDeflateState(level);      // none is left: zeroed memory
      ASSERT_EQ(EncodeOn(before, noise).result, kDeflateDone);
      DeflateState* const reused = NewDeflateState(level);
      ASSERT_EQ(reused, before);
      const Encoded expected = EncodeOn(fresh, GetParam().data);
      const Encoded got = EncodeOn(reused, GetParam().data);
      ASSERT_EQ(got.result, kDeflateDone);
      EXPECT_TRUE(got.stream == expected.stream);
    }
  }
}

// Pieces encoded apart, each with the 32 KiB before it as history, join into one stream that
// inflates back: every piece but the last ends on a whole byte behind an empty stored block,
// and matches reach into the history, so the pieces cost little more than the whole.
TEST_P(DeflateCase, PiecesEncodedApartJoinIntoOneStream) {
  struct Cut { size_t piece, upTo; };  // pieces of `piece` bytes over the data's first upTo
  constexpr size_t kAll = SIZE_MAX;
  const Cut cuts[] = {{7, 1000}, {20000, kAll}, {kDeflateHistoryBytes, kAll}, {100000, kAll}};
  const Bytes emptyStoredEnd = {0, 0, 0xFF, 0xFF};
  for (DeflateLevel level : kAllLevels) {
    for (const Cut& cut : cuts) {
      SCOPED_TRACE("level " + std::to_string(level) + ", pieces of " + std::to_string(cut.piece));
      const Bytes data(GetParam().data.begin(), GetParam().data.begin() + std::min(cut.upTo, GetParam().data.size()));
      Bytes joined;
      size_t at = 0, pieces = 0;
      do {
        const size_t n = std::min(cut.piece, data.size() - at), history = std::min<size_t>(at, kDeflateHistoryBytes);
        const bool last = at + n == data.size();
        Bytes out(DeflatePieceBound(n));
        uint32_t written = 0;
        ASSERT_EQ(DeflatePiece(level, data.data() + at - history, static_cast<uint32_t>(history), data.data() + at,
                               static_cast<uint32_t>(n), last, out.data(), static_cast<uint32_t>(out.size()), &written),
                  kDeflateDone);
        out.resize(written);
        if (!last) {
          ASSERT_GE(out.size(), emptyStoredEnd.size());
          EXPECT_TRUE(std::equal(emptyStoredEnd.begin(), emptyStoredEnd.end(), out.end() - 4)) << "piece " << pieces;
        }
        joined.insert(joined.end(), out.begin(), out.end());
        at += n;
        pieces++;
      } while (at < data.size());
      EXPECT_TRUE(InflatesTo(joined, data));
      // Each piece adds its empty block and the code of one more block at most.
      if (cut.upTo == kAll) {
        EXPECT_LE(static_cast<double>(joined.size()),
                  GetParam().mostRatio * static_cast<double>(std::max<size_t>(data.size(), 1)) + 80.0 * static_cast<double>(pieces));
      }
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Samples, DeflateCase, testing::ValuesIn(Samples()), CaseName());

TEST(Deflate, BadCallsAreRefused) {
  EXPECT_EQ(NewDeflateState(static_cast<DeflateLevel>(kDeflateLevelCount)), nullptr);
  uint8_t byte = 0;
  DeflateStream noState{&byte, 1, &byte, 1, nullptr};
  EXPECT_EQ(Deflate(&noState, true), kDeflateBadCall);
  EXPECT_EQ(Deflate(nullptr, true), kDeflateBadCall);
  DeflateStream s{nullptr, 1, &byte, 1, NewDeflateState(kDeflateNormal)};
  EXPECT_EQ(Deflate(&s, false), kDeflateBadCall) << "a count without input";
  s = {&byte, 1, nullptr, 1, s.state};
  EXPECT_EQ(Deflate(&s, false), kDeflateBadCall) << "room without output";
  s = {&byte, 1, nullptr, 0, s.state};
  EXPECT_EQ(Deflate(&s, true), kDeflateProgress) << "input taken with no room";
  EXPECT_EQ(Deflate(&s, false), kDeflateBadCall) << "more input after the last";
  EndDeflateStream(&s);
  EXPECT_EQ(s.state, nullptr);
  size_t written = 0;
  EXPECT_EQ(DeflateBuffer(kDeflateFast, nullptr, 5, &byte, 1, &written), kDeflateBadCall);
  const Bytes data = RandomBytes(1000, 3);
  Bytes small(500);
  EXPECT_EQ(DeflateBuffer(kDeflateFast, data.data(), data.size(), small.data(), small.size(), &written),
            kDeflateNoProgress);
  EXPECT_EQ(written, small.size());
  uint32_t pieceWritten = 0;
  const Bytes history(kDeflateHistoryBytes + 1);
  EXPECT_EQ(DeflatePiece(kDeflateFast, history.data(), static_cast<uint32_t>(history.size()), data.data(), 10, true,
                         small.data(), static_cast<uint32_t>(small.size()), &pieceWritten),
            kDeflateBadCall) << "more history than the window";
  EXPECT_EQ(DeflatePiece(kDeflateFast, nullptr, 0, data.data(), static_cast<uint32_t>(data.size()), false, small.data(),
                         static_cast<uint32_t>(small.size()), &pieceWritten),
            kDeflateNoProgress);
}


// Blocks planned and written one after another through one state, read back by our decoder:
// what one block's plan leaves behind must not leak into the next.
// Literals only: the text repeated, or `count` bytes drawn with a skewed choice of 200 values,
// so that the rarest take codes longer than the fixed code's 8 and 9 bits.
Bytes Skewed(size_t count) {
  Bytes b;
  for (uint32_t i = 0; b.size() < count; i++) b.push_back(static_cast<uint8_t>((i * i * 7919u >> 3) % (1 + i % 200)));
  return b;
}

// A quarter of the byte values six times as frequent as the rest, each count a little off
// its group's: plain Huffman codes give the groups a ragged mix of lengths.
Bytes TwoLevels() {
  Bytes b;
  for (uint32_t v = 0; v < 256; v++) b.insert(b.end(), (v < 64 ? 600 : 100) + v * 37 % 5, static_cast<uint8_t>(v));
  return b;
}

struct BlockCase {
  const char* what;
  std::vector<Bytes> blocks;
  std::vector<BlockType> types;  // the types the plans must choose, so the case tests what it says
  DeflateLevel level = kDeflateFast;
  bool shorterThanPlain = false;  // each block's plan costs less than the plain Huffman code's
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.what; }

// Bits of the block's literals as planned at a level.
uint64_t PlannedBits(DeflateState* s, const Bytes& block) {
  s->itemCount = 0;
  std::memset(s->literalLengthCounts, 0, sizeof s->literalLengthCounts);
  std::memset(s->distanceCounts, 0, sizeof s->distanceCounts);
  for (uint8_t b : block) RecordLiteral(s, b);
  PlanBlock(s, static_cast<uint32_t>(block.size()));
  return s->plan.bits;
}

using BlockSequence = testing::TestWithParam<BlockCase>;

TEST_P(BlockSequence, DecodesToTheBlocksInput) {
  const BlockCase& c = GetParam();
  DeflateStream stream{}, plain{};
  stream.state = NewDeflateState(c.level);
  plain.state = NewDeflateState(kDeflateFast);  // never reshapes its codes
  DeflateState* s = stream.state;
  Bytes out(1 << 20), all;
  uint8_t* at = out.data();
  for (size_t k = 0; k < c.blocks.size(); k++) {
    const uint64_t plainBits = c.shorterThanPlain ? PlannedBits(plain.state, c.blocks[k]) : 0;
    const uint64_t bits = PlannedBits(s, c.blocks[k]);
    EXPECT_EQ(s->plan.type, c.types[k]) << "block " << k;
    if (c.shorterThanPlain) {
      EXPECT_LT(bits, plainBits) << "block " << k;
    }
    at = WriteBlock(s, c.blocks[k].data(), static_cast<uint32_t>(c.blocks[k].size()), k + 1 == c.blocks.size(), at);
    all.insert(all.end(), c.blocks[k].begin(), c.blocks[k].end());
  }
  EndDeflateStream(&plain);
  EndDeflateStream(&stream);
  EXPECT_TRUE(InflatesTo(Bytes(out.data(), at), all));
}

const BlockCase kBlockCases[] = {
    {"fixed then dynamic", {BytesOf("a few words"), Skewed(20000)}, {kBlockFixed, kBlockDynamic}},
    {"stored then dynamic", {RandomBytes(3000, 1), Skewed(20000)}, {kBlockStored, kBlockDynamic}},
    {"dynamic then fixed then dynamic", {Skewed(20000), BytesOf("x"), Skewed(5000)},
     {kBlockDynamic, kBlockFixed, kBlockDynamic}},
    // The best level prices codes of evened-out counts, whose lengths come in runs the
    // header sends in a few repeat tokens.
    {"best: counts evened out for a shorter header", {TwoLevels(), Skewed(20000)},
     {kBlockDynamic, kBlockDynamic}, kDeflateBest, true},
};
INSTANTIATE_TEST_SUITE_P(Blocks, BlockSequence, testing::ValuesIn(kBlockCases), CaseName());

}  // namespace
