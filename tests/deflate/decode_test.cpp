// The Deflate and Deflate64 decoders on hand-made streams, each run whole, split at every
// byte, a byte at a time, in random pieces and with surplus input behind it; all must agree.
// Then streams made by gzip, pigz, Info-ZIP zip and 7zz (tests/fixtures/zip_fixtures.sh),
// fed in awkward pieces, against the sample they were made from; and the CRC-32. The member
// chunk loop: ZipVerdict.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "core/little_endian.h"
#include "deflate/crc32.h"
#include "deflate/inflate.h"
#include "support/case_name.h"
#include "support/deflate_writer.h"

namespace {

constexpr InflateResult kNotRun = 99;  // the case does not run this decoder
constexpr InflateResult kStuck = 98;   // no progress although input and room were given

struct Outcome { InflateResult result = kNotRun; Bytes output; uint32_t surplusLeft = 0; };  // surplusLeft: input unconsumed

// Feeds the input in pieces (sizes taken in turn) and takes output in blocks of outBlock.
// Every piece and block is its own exact-size allocation, so overruns show under ASan; a
// block no call wrote to serves the next call.
Outcome Decode(InflateFunction decoder, const Bytes& in, const std::vector<size_t>& pieces, size_t outBlock) {
  InflateStream s{};
  s.state = NewInflateState();
  Outcome o;
  std::unique_ptr<uint8_t[]> piece, out(new uint8_t[outBlock]);
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
    s.output = out.get();
    s.outputLeft = static_cast<uint32_t>(outBlock);
    o.result = decoder(&s);
    o.output.insert(o.output.end(), out.get(), out.get() + (outBlock - s.outputLeft));
    if (s.outputLeft != outBlock) out.reset(new uint8_t[outBlock]);
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
    if (decoder(&s) != o.result || s.inputLeft != leftBefore || s.outputLeft != sizeof spare) o.result = kStuck;
  }
  EndInflateStream(&s);
  return o;
}

struct Case { const char* what; Bytes stream; Outcome expect32, expect64; };  // Inflate's and Inflate64's

Outcome Done(const Bytes& out) { return {kInflateDone, out}; }
Outcome Done(const std::string& out) { return {kInflateDone, BytesOf(out)}; }
Outcome Bad() { return {kInflateBadData, {}}; }

// 64 piece sizes from 1 to most, taken in turn.
std::vector<size_t> RandomPieces(std::mt19937& random, size_t most) {
  std::vector<size_t> pieces;
  for (int i = 0; i < 64; i++) pieces.push_back(1 + random() % most);
  return pieces;
}

void CheckEveryWay(InflateFunction decoder, const Bytes& in, const Outcome& expect) {
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
  for (size_t outBlock : {3u, 300u, 70000u})
    check(Decode(decoder, in, RandomPieces(random, 40), outBlock), "random pieces");
  if (in.size() <= 4096)
    for (size_t at = 1; at < in.size(); at++) check(Decode(decoder, in, {at, all}, room), "split");
  if (expect.result == kInflateDone || expect.result == kInflateBadData) {
    // Surplus input lets the fast loop run on short streams, and must stay unconsumed.
    const Outcome got = Decode(decoder, Joined({in, Bytes(40, 0x5A)}), {all + 40}, room);
    check(got, "with surplus");
    if (expect.result == kInflateDone) {
      EXPECT_EQ(got.surplusLeft, 40u);
    }
  }
  if (expect.result != kInflateDone || in.size() > 4096) return;
  // Cut anywhere, a valid stream ends with no progress, having given a prefix of its output.
  for (size_t n = 0; n < in.size(); n++) {
    const Outcome got = Decode(decoder, Bytes(in.begin(), in.begin() + static_cast<long>(n)), {1}, 1);
    EXPECT_EQ(got.result, kInflateNoProgress) << "cut at " << n;
    EXPECT_TRUE(std::equal(got.output.begin(), got.output.end(), expect.output.begin())) << "cut at " << n;
  }
}

// A fixed-code match: length symbol and its extra bits, distance code and its extra bits.
void Match(BitWriter& w, uint32_t symbol, uint32_t lengthExtra, uint32_t lengthBits, uint32_t distanceCode,
           uint32_t distanceExtra, uint32_t distanceBits) {
  FixedSymbol(w, symbol);
  w.Bits(lengthExtra, lengthBits);
  FixedDistance(w, distanceCode);
  w.Bits(distanceExtra, distanceBits);
}

// Bytes behind `count` copies of the bytes `distance` back.
Bytes Repeated(Bytes data, size_t count, size_t distance) {
  for (size_t i = 0; i < count; i++) data.push_back(data[data.size() - distance]);
  return data;
}

// The longest reach of each decoder, over stored data: Deflate's 258-byte match 32768 back;
// Deflate64's 65538-byte match 65536 back, then one 32769 back.
std::vector<Case> LongestReachCases() {
  const Bytes data = RandomBytes(40000, 1);
  BitWriter w32;
  StoredBlocks(w32, data, false);
  BlockStart(w32, true, 1);
  Match(w32, 285, 0, 0, 29, 8191, 13);
  FixedSymbol(w32, 256);
  const Bytes data64 = RandomBytes(65536, 2);
  BitWriter w64;
  StoredBlocks(w64, data64, false);
  BlockStart(w64, true, 1);
  Match(w64, 285, 65535, 16, 31, 16383, 14);
  Match(w64, 257, 0, 0, 30, 0, 14);
  FixedSymbol(w64, 256);
  // To Deflate, code 285 is 258 without extra bits and distance code 31 is invalid.
  return {{"Deflate distance 32768", w32.bytes, Done(Repeated(data, 258, 32768)), {}},
          {"Deflate64 length 65538 distances 65536 and 32769", w64.bytes, Bad(),
           Done(Repeated(Repeated(data64, 65538, 65536), 3, 32769))}};
}

// Code lengths by count from 1 bit to 15, given to symbols from the last down, so the
// first symbols get the longest codes.
std::vector<uint32_t> LengthsDown(const std::vector<uint32_t>& perLength, size_t symbols) {
  std::vector<uint32_t> lengths(symbols, 0);
  size_t s = symbols;
  for (uint32_t length = 1; length <= perLength.size(); length++)
    for (uint32_t i = 0; i < perLength[length - 1]; i++) lengths[--s] = length;
  return lengths;
}

// The canonical code of each symbol with the given code lengths (0 for none).
std::vector<uint32_t> CanonicalCodes(const std::vector<uint32_t>& lengths) {
  std::vector<uint32_t> codes(lengths.size());
  uint32_t code = 0;
  for (uint32_t length = 1; length <= 15; length++, code <<= 1)
    for (size_t s = 0; s < lengths.size(); s++)
      if (lengths[s] == length) codes[s] = code++;
  return codes;
}

// A dynamic block's header after its bit triple: the counts, a code-length code of 5 bits
// for lengths 0 to 15, and every literal/length and distance length sent with it.
void DynamicHeader(BitWriter& w, const std::vector<uint32_t>& lengthCodes,
                   const std::vector<uint32_t>& distanceCodes) {
  constexpr uint32_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  // Symbols 0 to 15 take 5 bits, 17 and 18 two (unused): a complete code.
  std::vector<uint32_t> codeLengthLengths(19, 5);
  codeLengthLengths[16] = 0;
  codeLengthLengths[17] = codeLengthLengths[18] = 2;
  const std::vector<uint32_t> codeLengthCodes = CanonicalCodes(codeLengthLengths);
  w.Bits(static_cast<uint32_t>(lengthCodes.size() - 257), 5)
      .Bits(static_cast<uint32_t>(distanceCodes.size() - 1), 5)
      .Bits(19 - 4, 4);
  for (uint32_t symbol : kOrder) w.Bits(codeLengthLengths[symbol], 3);
  for (const auto* lengths : {&lengthCodes, &distanceCodes})
    for (uint32_t length : *lengths) w.Code(codeLengthCodes[length], 5);
}

// Codes whose decoding tables take the most entries there can be (the two-level tables'
// limits): 285 literal/length codes, and 29 or 31 distance codes. Literals 1, 2 and 3 have
// the 15- and 14-bit codes at the end of the last sub-table, as does distance code 1; then a
// length 3 match at distance 2.
std::vector<Case> LargestTableCases() {
  const std::vector<uint32_t> lengths = LengthsDown({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 233, 45, 1, 2}, 286);
  std::vector<Case> cases;
  for (const uint32_t distanceCount : {30u, 32u}) {
    const std::vector<uint32_t> distances =
        distanceCount == 30 ? LengthsDown({1, 1, 1, 1, 1, 0, 0, 0, 13, 5, 1, 1, 1, 1, 2}, 30)
                            : LengthsDown({1, 1, 1, 1, 1, 0, 0, 0, 11, 9, 1, 1, 1, 1, 2}, 32);
    const std::vector<uint32_t> codes = CanonicalCodes(lengths), distanceCodes = CanonicalCodes(distances);
    BitWriter w;
    BlockStart(w, true, 2);
    DynamicHeader(w, lengths, distances);
    for (uint32_t symbol : {1u, 2u, 3u, 97u, 257u}) w.Code(codes[symbol], lengths[symbol]);
    w.Code(distanceCodes[1], distances[1]).Code(codes[256], lengths[256]);
    const Outcome done = Done(Bytes{1, 2, 3, 'a', 3, 'a', 3});
    if (distanceCount == 30) cases.push_back({"largest tables of 286 and 30 codes", w.bytes, done, done});
    else cases.push_back({"largest table of 32 distance codes", w.bytes, Bad(), done});
  }
  return cases;
}

// Streams written bit by bit for each case. Dynamic headers send their code lengths with a
// code-length code of 5 bits for lengths 0 to 15 and 2 bits for the zero runs 17 and 18,
// unless the case is about the code-length code itself.
std::vector<Case> AllCases() {
  std::vector<Case> cases = LongestReachCases();
  for (const Case& c : LargestTableCases()) cases.push_back(c);
  auto both = [&](const char* what, const char* hex, const Outcome& expect) {
    cases.push_back({what, Hex(hex), expect, expect});
  };
  both("empty final stored block", "010000ffff", Done(""));
  both("stored block", "010300fcff616263", Done("abc"));
  both("stored block with a wrong NLEN", "010300fcfe616263", Bad());
  both("stored block cut short", "010300fcff61", {kInflateNoProgress, BytesOf("a")});
  both("block type 3", "07", Bad());
  both("empty fixed block", "0300", Done(""));
  both("fixed literal", "4b0400", Done("a"));
  both("no block at all", "", {kInflateNoProgress, {}});
  both("length code 286", "1b03", Bad());
  // "ab", length 10 distance 2, "c", length 3 distance 1.
  both("overlapping matches repeat their pattern", "4b4c42c064200000", Done("ababababababcccc"));
  // "abcdefg", then length 30 at each distance from 3 to 7: the word copies must keep the
  // pattern of every short period.
  std::string periods = "abcdefg";
  for (size_t d = 3; d <= 7; d++)
    for (int i = 0; i < 30; i++) periods += periods[periods.size() - d];
  both("matches at distances 3 to 7", "4b4c4a4e494d4bc78ff063fc047e123f0500", Done(periods));
  both("match reaching before the stream's start", "4b0442", Bad());
  both("distance code 30 after one byte", "4b043e0000", Bad());
  both("HLIT 30: 287 length codes", "f50000", Bad());
  // Codes for h, i and end of block; two one-bit distance codes, 0 and 30.
  cases.push_back({"HDIST 30: 31 distance codes", Hex("05fe21b56ddbb66ddbda4dc9bf811895c406"), Bad(), Done("hi")});
  // Distance lengths 15 15 14 13 12 11 10 9, nine of 8, eleven of 7, 3 2 2 2. "xyz", length
  // 3 distance 3 (a 14-bit code), length 4 distance 1 (a 15-bit code).
  cases.push_back({"32 distance codes down to 15 bits",
                   Hex("15ff21b56ddbb66ddbdace39abcf29fdffeed96b8e31c618638cde7befbdf7de7b4e29a5e3fff3ff77"), Bad(),
                   Done("xyzxyzzzzz")});
  both("incomplete code-length code", "05e00104000000000000", Bad());
  both("one literal/length code of one bit", "05e021b56ddbb66ddbfa771d03", Done(""));
  both("the missing half of a one-code set", "05e021b56ddbb66ddbfa771d43", Bad());
  both("over-subscribed literal/length code", "05e021b56ddbb66ddb6a8dd1bf881801", Bad());
  both("repeat with no previous length", "05e0b791244110044100", Bad());
  both("repeat running past the last length", "05e0b7912441100441e8af3f", Bad());
  both("no end-of-block code", "05e0b7912441100441e8af36", Bad());
  // HLIT 29, HDIST 3: the zeros after end of block run on into the distance lengths.
  both("zero run crossing into the distance lengths", "ede3b7912441100441c8eafa2be1a2b813", Done("aa"));
  both("no distance codes and no match", "0de021b56ddbb66ddb6a8dfe4da41408", Done("aa"));
  both("no distance codes but a match", "0de021b56ddbb66ddb6a8dfe4da4140c", Bad());
  // 100000 times four empty fixed blocks in five bytes, then a final one: each call must take
  // all the input it is given, with no output to show for it.
  Bytes endless;
  for (int i = 0; i < 100000; i++) endless.insert(endless.end(), {0x02, 0x08, 0x20, 0x80, 0x00});
  endless.insert(endless.end(), {0x03, 0x00});
  cases.push_back({"endless empty blocks", endless, Done(""), Done("")});
  return cases;
}

using InflateCase = testing::TestWithParam<Case>;

TEST_P(InflateCase, GivesTheSameResultHoweverItIsFed) {
  const Case& c = GetParam();
  if (c.expect32.result != kNotRun) CheckEveryWay(Inflate, c.stream, c.expect32);
  if (c.expect64.result != kNotRun) CheckEveryWay(Inflate64, c.stream, c.expect64);
}
INSTANTIATE_TEST_SUITE_P(Streams, InflateCase, testing::ValuesIn(AllCases()), CaseName());

const char* const kInteropFiles[] = {"gzip1.gz",    "gzip6.gz",        "gzip9.gz",          "pigz9.gz",
                                     "pigz11.gz",   "infozip.zip",     "7zz-deflate.zip",   "7zz-deflate64.zip",
                                     "7zz-deflate64-fast.zip"};
class InflateInterop : public testing::TestWithParam<const char*> {};

// Streams made by gzip, pigz, Info-ZIP zip and 7zz from one sample: the Deflate stream of a
// gzip member with a plain header, or of a ZIP's first member.
TEST_P(InflateInterop, DecodesToTheSample) {
  const std::filesystem::path dir = FixturesDir() / "inflate";
  const std::string name = GetParam();
  const Bytes sample = ReadBytes(dir / "sample.bin"), file = ReadBytes(dir / name);
  ASSERT_GT(sample.size(), 500000u);
  const bool zip = file[0] == 'P';
  const size_t start = zip ? 30 + Le16(&file[26]) + Le16(&file[28]) : 10;
  ASSERT_TRUE(zip || file[3] == 0) << "gzip header with optional fields";
  const Bytes stream(file.begin() + static_cast<long>(start),
                     zip ? file.begin() + static_cast<long>(start + Le32(&file[18])) : file.end() - 8);
  EXPECT_EQ(zip ? Le32(&file[14]) : Le32(&file[file.size() - 8]), Crc32Update(0, sample.data(), sample.size()));
  // Input pieces up to the first number, output blocks of the second; the last way, a byte
  // in and a byte out per call, tries the mode machine and the window alone.
  const std::pair<size_t, size_t> ways[] = {{1u << 30, 524288}, {262144, 524288}, {5000, 70000}, {40, 300}, {1, 1}};
  std::mt19937 random(1);
  for (const auto& [maxPiece, outBlock] : ways) {
    if (maxPiece == 1 && name != "gzip6.gz" && name != "7zz-deflate64.zip") continue;
    SCOPED_TRACE("pieces up to " + std::to_string(maxPiece));
    const Outcome got = Decode(zip && Le16(&file[8]) == 9 ? Inflate64 : Inflate, stream, RandomPieces(random, maxPiece), outBlock);
    EXPECT_EQ(got.result, kInflateDone);
    EXPECT_EQ(got.surplusLeft, 0u) << "the stream must end where its maker ended it";
    EXPECT_TRUE(got.output == sample);
  }
}
INSTANTIATE_TEST_SUITE_P(Tools, InflateInterop, testing::ValuesIn(kInteropFiles),
                         [](const testing::TestParamInfo<const char*>& info) { return CaseIdentifier(info.param); });

// CRC-32 against a bit-at-a-time reference, through both update paths, from a running value
// as the previous piece of a member leaves it.
uint32_t BitwiseCrc(uint32_t crc, const uint8_t* p, size_t n) {
  crc = ~crc;
  for (size_t i = 0; i < n; i++) {
    crc ^= p[i];
    for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

TEST(Crc32, BothPathsMatchTheReferenceAtEveryLengthAndAlignment) {
  const Bytes b = BytesOf("123456789");
  EXPECT_EQ(BitwiseCrc(0, b.data(), b.size()), 0xCBF43926u);  // the check value
  EXPECT_EQ(Crc32Step(0xFFFFFFFF, '1'), ~Crc32Update(0, b.data(), 1));  // the byte step keeps the inverted running value
  const Bytes data = RandomBytes(616, 3);
  for (size_t offset = 0; offset < 16; offset++) {
    for (size_t n = 0; n < 600; n += (n < 300 ? 1 : 37)) {
      const uint32_t expect = BitwiseCrc(0x1234567, data.data() + offset, n);
      ASSERT_EQ(Crc32Update(0x1234567, data.data() + offset, n), expect) << offset << " " << n;
      ASSERT_EQ(Crc32UpdatePortable(0x1234567, data.data() + offset, n), expect) << offset << " " << n;
    }
  }
}
}  // namespace
