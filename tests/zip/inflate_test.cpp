// The Deflate and Deflate64 decoders on hand-made streams, each run whole, split at every
// byte, a byte at a time, in random pieces and with surplus input behind it; all must agree.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "deflate_writer.h"
#include "zip/inflate.h"

namespace {

constexpr InflateResult kNotRun = 99;
constexpr InflateResult kStuck = 98;  // no progress although input and room were given

struct Outcome {
  InflateResult result = kNotRun;
  Bytes output;
  uint32_t surplusLeft = 0;  // input left unconsumed at the end
  bool operator==(const Outcome& o) const { return result == o.result && output == o.output; }
};

// Feeds the input in pieces (sizes taken in turn) and takes output in blocks of outBlock.
// Every piece and block is its own exact-size allocation, so overruns show under ASan.
Outcome Decode(InflateFunction decoder, const Bytes& in, const std::vector<size_t>& pieces,
               size_t outBlock) {
  InflateStream s{};
  s.state = NewInflateState();
  Outcome o;
  std::unique_ptr<uint8_t[]> piece;
  size_t at = 0, turn = 0;
  for (;;) {
    if (s.inputLeft == 0 && at < in.size()) {
      const size_t n = std::min(pieces[turn++ % pieces.size()], in.size() - at);
      piece.reset(new uint8_t[n]);
      std::copy(in.begin() + static_cast<long>(at), in.begin() + static_cast<long>(at + n), piece.get());
      s.input = piece.get();
      s.inputLeft = static_cast<uint32_t>(n);
      at += n;
    }
    const bool hadInput = s.inputLeft > 0;
    std::unique_ptr<uint8_t[]> out(new uint8_t[outBlock]);
    s.output = out.get();
    s.outputLeft = static_cast<uint32_t>(outBlock);
    o.result = decoder(&s);
    o.output.insert(o.output.end(), out.get(), out.get() + (outBlock - s.outputLeft));
    if (o.result == kInflateNoProgress && hadInput) o.result = kStuck;
    if (o.result != kInflateProgress) break;
  }
  o.surplusLeft = s.inputLeft + static_cast<uint32_t>(in.size() - at);
  // Finished and failed are final: a further call says the same and consumes nothing.
  if (o.result == kInflateDone || o.result == kInflateBadData) {
    uint8_t spare[4];
    const uint32_t leftBefore = s.inputLeft;
    s.output = spare;
    s.outputLeft = sizeof spare;
    if (decoder(&s) != o.result || s.inputLeft != leftBefore || s.outputLeft != sizeof spare)
      o.result = kStuck;
  }
  EndInflateStream(&s);
  return o;
}

struct Case {
  const char* what;
  Bytes stream;
  Outcome expect32;  // Inflate
  Outcome expect64;  // Inflate64
};

Outcome Done(const Bytes& out) { return {kInflateDone, out}; }
Outcome Done(const std::string& out) { return {kInflateDone, BytesOf(out)}; }
Outcome Bad() { return {kInflateBadData, {}}; }
Outcome Cut() { return {kInflateNoProgress, {}}; }

void CheckEveryWay(const char* what, InflateFunction decoder, const Bytes& in,
                   const Outcome& expect) {
  SCOPED_TRACE(what);
  const size_t all = in.size() + 1;
  const size_t room = expect.output.size() + 1024;
  auto check = [&](const Outcome& got, const char* how) {
    EXPECT_EQ(got.result, expect.result) << how;
    if (expect.result != kInflateBadData) {
      EXPECT_TRUE(got.output == expect.output) << how;
    }
  };
  check(Decode(decoder, in, {all}, room), "whole");
  check(Decode(decoder, in, {1}, 1), "byte by byte");
  std::mt19937 random(7);
  for (size_t outBlock : {3u, 300u, 70000u}) {
    std::vector<size_t> pieces;
    for (int i = 0; i < 64; i++) pieces.push_back(1 + random() % 40);
    check(Decode(decoder, in, pieces, outBlock), "random pieces");
  }
  if (in.size() <= 4096)
    for (size_t at = 1; at < in.size(); at++) check(Decode(decoder, in, {at, all}, room), "split");
  if (expect.result == kInflateDone || expect.result == kInflateBadData) {
    // Surplus input lets the fast loop run on short streams, and must stay unconsumed.
    Bytes padded = in;
    padded.resize(in.size() + 40, 0x5A);
    const Outcome got = Decode(decoder, padded, {padded.size()}, room);
    check(got, "with surplus");
    if (expect.result == kInflateDone) {
      EXPECT_EQ(got.surplusLeft, 40u);
    }
  }
}

Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(random());
  return b;
}

// Fixed-code block helpers: a literal run and a match (length symbol, its extra bits,
// distance code, its extra bits).
BitWriter FixedBlock(bool final) {
  BitWriter w;
  BlockStart(w, final, 1);
  return w;
}
void Literals(BitWriter& w, const std::string& text) {
  for (unsigned char c : text) FixedSymbol(w, c);
}
void Match(BitWriter& w, uint32_t symbol, uint32_t lengthExtra, uint32_t lengthBits,
           uint32_t distanceCode, uint32_t distanceExtra, uint32_t distanceBits) {
  FixedSymbol(w, symbol);
  w.Bits(lengthExtra, lengthBits);
  FixedDistance(w, distanceCode);
  w.Bits(distanceExtra, distanceBits);
}

// Writes symbols with the canonical code of the given lengths.
void Symbols(BitWriter& w, const std::vector<uint8_t>& lengths, const std::vector<uint32_t>& symbols) {
  const std::vector<uint32_t> codes = CanonicalCodes(lengths);
  for (uint32_t s : symbols) w.Code(codes[s], lengths[s]);
}

// The code-length code that can send lengths 0 to 9 and the three repeats.
std::vector<uint8_t> RepeatCodeLengths() {
  std::vector<uint8_t> cl(19, 0);
  for (int s = 0; s < 10; s++) cl[s] = 4;
  cl[16] = cl[17] = cl[18] = 3;
  return cl;
}

std::vector<Case> HandMadeCases() {
  std::vector<Case> cases;
  auto both = [&](const char* what, const Bytes& stream, const Outcome& expect) {
    cases.push_back({what, stream, expect, expect});
  };
  both("empty final stored block", Hex("01 00 00 ff ff"), Done(""));
  both("stored block", Hex("01 03 00 fc ff 61 62 63"), Done("abc"));
  both("stored block with a wrong NLEN", Hex("01 03 00 fc fe 61 62 63"), Bad());
  both("stored block cut short", Hex("01 03 00 fc ff 61"), {kInflateNoProgress, BytesOf("a")});
  both("block type 3", Hex("07"), Bad());
  both("empty fixed block", Hex("03 00"), Done(""));
  both("fixed literal", Hex("4b 04 00"), Done("a"));
  both("no block at all", Hex(""), Cut());
  {
    BitWriter w = FixedBlock(true);
    FixedSymbol(w, 286);
    both("length code 286", w.bytes, Bad());
  }
  {
    BitWriter w = FixedBlock(true);
    Literals(w, "ab");
    Match(w, 264, 0, 0, 1, 0, 0);  // length 10, distance 2
    Literals(w, "c");
    Match(w, 257, 0, 0, 0, 0, 0);  // length 3, distance 1
    FixedSymbol(w, 256);
    both("overlapping matches repeat their pattern", w.bytes, Done("ababababababcccc"));
  }
  {
    // Short distances repeat patterns of every period; the word copies must keep them.
    BitWriter w = FixedBlock(true);
    std::string expect = "abcdefg";
    Literals(w, expect);
    const uint32_t codes[][2] = {{2, 0}, {3, 0}, {4, 0}, {4, 1}, {5, 0}};  // distances 3 to 7
    for (uint32_t d = 3; d <= 7; d++) {
      Match(w, 271, 3, 2, codes[d - 3][0], codes[d - 3][1], d < 5 ? 0 : 1);  // length 30
      for (int i = 0; i < 30; i++) expect += expect[expect.size() - d];
    }
    FixedSymbol(w, 256);
    both("matches at distances 3 to 7", w.bytes, Done(expect));
  }
  {
    BitWriter w = FixedBlock(true);
    Literals(w, "a");
    Match(w, 257, 0, 0, 1, 0, 0);
    both("match reaching before the stream's start", w.bytes, Bad());
  }
  {
    BitWriter w = FixedBlock(true);
    Literals(w, "a");
    Match(w, 257, 0, 0, 30, 0, 14);
    both("distance code 30 after one byte", w.bytes, Bad());
  }
  {
    BitWriter w;
    BlockStart(w, true, 2);
    w.Bits(30, 5).Bits(0, 5).Bits(0, 4);
    both("HLIT 30: 287 length codes", w.bytes, Bad());
  }
  {
    BitWriter w;
    const auto lit = Lengths(257, {{'h', 2}, {'i', 2}, {256, 1}});
    DynamicHeader(w, true, lit, Lengths(31, {{0, 1}, {30, 1}}));
    Symbols(w, lit, {'h', 'i', 256});
    cases.push_back({"HDIST 30: 31 distance codes", w.bytes, Bad(), Done("hi")});
  }
  {
    // The distance code with the largest two-level table: 594 entries.
    static const uint8_t kWorst[32] = {15, 15, 14, 13, 12, 11, 10, 9, 8, 8, 8, 8, 8, 8, 8, 8,
                                       8,  7,  7,  7,  7,  7,  7,  7, 7, 7, 7, 7, 3, 2, 2, 2};
    BitWriter w;
    const auto lit = Lengths(259, {{'x', 3}, {'y', 3}, {'z', 3}, {256, 3}, {257, 2}, {258, 2}});
    const std::vector<uint8_t> dist(kWorst, kWorst + 32);
    DynamicHeader(w, true, lit, dist);
    Symbols(w, lit, {'x', 'y', 'z', 257});
    Symbols(w, dist, {2});  // distance 3
    Symbols(w, lit, {258});
    Symbols(w, dist, {0});  // distance 1, a 15-bit code
    Symbols(w, lit, {256});
    cases.push_back({"32 distance codes with the largest table", w.bytes, Bad(), Done("xyzxyzzzzz")});
  }
  {
    BitWriter w;
    BlockStart(w, true, 2);
    CodeLengthHeader(w, 257, 1, Lengths(19, {{0, 1}}), {});
    both("incomplete code-length code", w.bytes, Bad());
  }
  {
    BitWriter w;
    DynamicHeader(w, true, Lengths(257, {{256, 1}}), Lengths(1, {}));
    w.Code(0, 1);
    both("one literal/length code of one bit", w.bytes, Done(""));
    BitWriter unused;
    DynamicHeader(unused, true, Lengths(257, {{256, 1}}), Lengths(1, {}));
    unused.Code(1, 1);
    both("the missing half of a one-code set", unused.bytes, Bad());
  }
  {
    BitWriter w;
    DynamicHeader(w, true, Lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), Lengths(1, {{0, 1}}));
    both("over-subscribed literal/length code", w.bytes, Bad());
  }
  {
    BitWriter first, past, noEnd;
    BlockStart(first, true, 2);
    CodeLengthHeader(first, 257, 1, RepeatCodeLengths(), {{16, 0}});
    both("repeat with no previous length", first.bytes, Bad());
    BlockStart(past, true, 2);
    CodeLengthHeader(past, 257, 1, RepeatCodeLengths(), {{18, 127}, {18, 127}});
    both("repeat running past the last length", past.bytes, Bad());
    BlockStart(noEnd, true, 2);
    CodeLengthHeader(noEnd, 257, 1, RepeatCodeLengths(), {{18, 127}, {18, 109}});
    both("no end-of-block code", noEnd.bytes, Bad());
  }
  {
    // Zeros from the unused length codes run on into the distance lengths.
    BitWriter w;
    BlockStart(w, true, 2);
    CodeLengthHeader(w, 286, 4, RepeatCodeLengths(),
                     {{18, 86}, {1, 0}, {18, 127}, {18, 9}, {1, 0}, {18, 20}, {1, 0}, {1, 0}});
    Symbols(w, Lengths(286, {{'a', 1}, {256, 1}}), {'a', 'a', 256});
    both("zero run crossing into the distance lengths", w.bytes, Done("aa"));
  }
  {
    const auto lit = Lengths(258, {{'a', 1}, {256, 2}, {257, 2}});
    BitWriter plain, match;
    DynamicHeader(plain, true, lit, Lengths(1, {}));
    Symbols(plain, lit, {'a', 'a', 256});
    both("no distance codes and no match", plain.bytes, Done("aa"));
    DynamicHeader(match, true, lit, Lengths(1, {}));
    Symbols(match, lit, {'a', 257});
    both("no distance codes but a match", match.bytes, Bad());
  }
  return cases;
}

TEST(Inflate, HandMadeStreamsGiveTheSameResultHoweverTheyAreFed) {
  for (const Case& c : HandMadeCases()) {
    CheckEveryWay(c.what, Inflate, c.stream, c.expect32);
    CheckEveryWay(c.what, Inflate64, c.stream, c.expect64);
  }
}

TEST(Inflate, LongestReachOfEachDecoder) {
  // Deflate: a 258-byte match 32768 bytes back, over stored data.
  const Bytes data = Random(40000, 1);
  BitWriter w32;
  StoredBlocks(w32, data, false);
  BlockStart(w32, true, 1);
  Match(w32, 285, 0, 0, 29, 8191, 13);
  FixedSymbol(w32, 256);
  Bytes expect32 = data;
  for (int i = 0; i < 258; i++) expect32.push_back(expect32[expect32.size() - 32768]);
  CheckEveryWay("Deflate distance 32768", Inflate, w32.bytes, Done(expect32));

  // Deflate64: a 65538-byte match 65536 back, then a match 32769 back.
  const Bytes data64 = Random(65536, 2);
  BitWriter w64;
  StoredBlocks(w64, data64, false);
  BlockStart(w64, true, 1);
  Match(w64, 285, 65535, 16, 31, 16383, 14);
  Match(w64, 257, 0, 0, 30, 0, 14);
  FixedSymbol(w64, 256);
  Bytes expect64 = data64;
  for (int i = 0; i < 65538; i++) expect64.push_back(expect64[expect64.size() - 65536]);
  for (int i = 0; i < 3; i++) expect64.push_back(expect64[expect64.size() - 32769]);
  CheckEveryWay("Deflate64 length 65538, distances 65536 and 32769", Inflate64, w64.bytes,
                Done(expect64));
  // To Deflate, code 285 is 258 without extra bits and distance code 31 is invalid.
  CheckEveryWay("Deflate64 stream fed to Deflate", Inflate, w64.bytes, Bad());
}

TEST(Inflate, EveryCutOfAValidStreamEndsWithNoProgress) {
  BitWriter w;
  StoredBlocks(w, BytesOf("stored part"), false);
  const auto lit = Lengths(258, {{'a', 2}, {'b', 2}, {256, 2}, {257, 2}});
  const auto dist = Lengths(1, {{0, 1}});
  DynamicHeader(w, false, lit, dist);
  Symbols(w, lit, {'a', 'b', 257});
  Symbols(w, dist, {0});
  Symbols(w, lit, {256});
  BlockStart(w, true, 1);
  Literals(w, "fixed");
  FixedSymbol(w, 256);
  const Bytes full = BytesOf("stored partabbbbfixed");
  ASSERT_EQ(Decode(Inflate, w.bytes, {w.bytes.size()}, 100).output, full);
  for (size_t n = 0; n < w.bytes.size(); n++) {
    const Bytes cut(w.bytes.begin(), w.bytes.begin() + static_cast<long>(n));
    const Outcome got = Decode(Inflate, cut, {1}, 1);
    EXPECT_EQ(got.result, kInflateNoProgress) << n;
    EXPECT_TRUE(std::equal(got.output.begin(), got.output.end(), full.begin())) << n;
  }
}

TEST(Inflate, EndlessEmptyBlocksKeepConsumingInput) {
  // 400000 empty fixed blocks, four in every five bytes, then a final one: each call
  // must take all the input it is given, with no output to show for it.
  Bytes stream;
  for (int i = 0; i < 100000; i++) {
    const Bytes four = Hex("02 08 20 80 00");
    stream.insert(stream.end(), four.begin(), four.end());
  }
  stream.push_back(0x03);
  stream.push_back(0x00);
  for (size_t piece : {size_t{1}, size_t{4096}, stream.size()}) {
    const Outcome got = Decode(Inflate, stream, {piece}, 1);
    EXPECT_EQ(got.result, kInflateDone) << piece;
    EXPECT_TRUE(got.output.empty());
  }
}

TEST(Inflate, BadCallsChangeNothing) {
  uint8_t out[4];
  const uint8_t in[1] = {0x03};
  InflateState* state = NewInflateState();
  InflateStream noState{in, 1, out, 4, nullptr, nullptr};
  InflateStream noOutput{in, 1, nullptr, 4, state, nullptr};
  InflateStream noInput{nullptr, 1, out, 4, state, nullptr};
  for (InflateStream* s : {&noState, &noOutput, &noInput}) {
    EXPECT_EQ(Inflate(s), kInflateBadCall);
    EXPECT_EQ(Inflate64(s), kInflateBadCall);
    EXPECT_EQ(s->inputLeft, 1u);
  }
  state->decodeMode = 15;
  InflateStream badMode{in, 1, out, 4, state, nullptr};
  EXPECT_EQ(Inflate(&badMode), kInflateBadCall);
  EndInflateStream(&badMode);
}

}  // namespace
