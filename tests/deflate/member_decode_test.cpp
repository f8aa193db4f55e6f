// The member chunk loop on real files: several input chunks and output blocks, stored and
// encrypted data, cut and damaged streams (failing calls and a cancel:
// Extract.OnlySoundMembersReplaceFiles); and the CRC-32 it keeps.
#include <gtest/gtest.h>

#include <memory>

#include "core/progress.h"
#include "deflate/crc32.h"
#include "deflate/member_decode.h"
#include "support/case_name.h"
#include "support/deflate_writer.h"
#include "support/zip_builder.h"
#include "zip/zip_crypto.h"

namespace {
// data goes into the archive file after a 7-byte prefix; the loop is told to read remaining bytes.
struct Member { Bytes data; int64_t remaining; bool decrypt = false; InflateFunction decoder = Inflate; };

struct Decoded { ResultCode result; uint64_t total; uint32_t checksum; Bytes written; };

const uint32_t kKeys[3] = {0x11111111, 0x22222222, 0x33333333};

void Decrypt(ArchiveContext* c, uint8_t* bytes, uint32_t count) { ZipCryptoDecrypt(c->zipKeys, bytes, count); }

Decoded DecodeFile(const Member& m) {
  ScratchDir dir;
  Bytes file = BytesOf("prefix:");
  file.insert(file.end(), m.data.begin(), m.data.end());
  WriteBytes(dir.Path("archive"), file);
  auto context = std::make_unique<ArchiveContext>();
  ArchiveContext* c = context.get();
  InitArchiveContext(c, nullptr);
  c->jobState = kJobRunning;
  std::vector<uint8_t> io(kIoBufferSize), out(kOutBufferSize);
  c->ioBuffer = io.data();
  c->outBuffer = out.data();
  c->archiveFile = FileOpen(Wide(dir.Path("archive")).c_str(), kAccessRead, kShareRead, kOpenExisting);
  c->outputFile = FileOpen(Wide(dir.Path("out")).c_str(), kAccessWrite, kShareNone, kCreateAlways);
  FileSeek(c->archiveFile, 7, kSeekBegin, nullptr);
  c->remaining = m.remaining;
  std::copy(kKeys, kKeys + 3, c->zipKeys);
  ProgressBegin(c, m.remaining, nullptr, 0);
  Decoded d{};
  d.result = DecodeMemberData(c, m.decoder, m.decrypt ? Decrypt : nullptr, kNoOutputLimit, &d.total);
  EXPECT_EQ(c->result, d.result);
  d.checksum = c->dataChecksum;
  FileClose(c->archiveFile);
  FileClose(c->outputFile);
  d.written = ReadBytes(dir.Path("out"));
  return d;
}

Member Whole(const Bytes& stream, InflateFunction decoder = Inflate, bool decrypt = false) {
  return {stream, static_cast<int64_t>(stream.size()), decrypt, decoder};
}

Bytes Encrypt(const Bytes& b) {
  uint32_t keys[3] = {kKeys[0], kKeys[1], kKeys[2]};
  return EncryptWithKeys(keys, b);
}

struct DecodeCase {
  const char* what;
  Member member;
  ResultCode expected;
  Bytes output = {};  // when kResultOk
};

std::vector<DecodeCase> DecodeCases() {
  const Bytes data = RandomBytes(700000, 11);  // three input chunks, two output blocks
  const Bytes stream = StoredStream(data);
  // Surplus behind the stream, even a whole chunk of it, is read and ignored.
  Bytes padded = stream;
  padded.resize(padded.size() + 300000, 0xEE);
  // One input chunk giving many output blocks: 258-byte matches of one byte.
  BitWriter matches;
  BlockStart(matches, true, 1);
  FixedSymbol(matches, 'q');
  for (int i = 0; i < 8000; i++) {
    FixedSymbol(matches, 285);
    FixedDistance(matches, 0);
  }
  FixedSymbol(matches, 256);
  // Stored blocks ending exactly at the first chunk's end, then one byte that starts
  // another block: the last chunk gives no output, yet the stream is unfinished.
  BitWriter unfinished;
  StoredBlocks(unfinished, Bytes(kIoBufferSize - 4 * 5, 'z'), false);  // four blocks
  unfinished.Raw(Hex("02"));
  return {
      {"stored blocks across chunks and output blocks", Whole(stream), kResultOk, data},
      {"surplus behind the stream", Whole(padded), kResultOk, data},
      {"one chunk giving many output blocks", Whole(matches.bytes), kResultOk, Bytes(1 + 8000 * 258, 'q')},
      {"stored data without a decoder", Whole(data, nullptr), kResultOk, data},
      {"encrypted", Whole(Encrypt(stream), Inflate, true), kResultOk, data},
      {"no data: an empty member", Whole({}), kResultOk, {}},
      {"stream cut short", {Bytes(stream.begin(), stream.end() - 3), static_cast<int64_t>(stream.size() - 3)}, kResultFormat},
      {"file shorter than the member", {stream, static_cast<int64_t>(stream.size() + 1)}, kResultUnexpectedEnd},
      {"invalid data after decryption", Whole(Encrypt(Hex("07")), Inflate, true), kResultPassword},
      {"unfinished in a chunk without output", Whole(unfinished.bytes), kResultFormat},
  };
}

class DecodeMemberData : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeMemberData, GivesTheDataOrItsResult) {
  const DecodeCase& c = GetParam();
  const Decoded d = DecodeFile(c.member);
  EXPECT_EQ(d.result, c.expected);
  if (c.expected != kResultOk) return;
  EXPECT_EQ(d.total, c.output.size());
  EXPECT_EQ(d.checksum, Crc32Update(0, c.output.data(), c.output.size()));
  EXPECT_TRUE(d.written == c.output);
}
INSTANTIATE_TEST_SUITE_P(MemberDecode, DecodeMemberData, testing::ValuesIn(DecodeCases()), CaseName());

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

TEST(Crc32, TheCheckValue) {
  const Bytes b = BytesOf("123456789");
  EXPECT_EQ(Crc32Update(0, b.data(), b.size()), 0xCBF43926u);
  EXPECT_EQ(Crc32UpdatePortable(0, b.data(), b.size()), 0xCBF43926u);
  EXPECT_EQ(Crc32Step(0xFFFFFFFF, '1'), ~Crc32Update(0, b.data(), 1));  // the byte step keeps the inverted running value
}

TEST(Crc32, BothPathsMatchTheReferenceAtEveryLengthAndAlignment) {
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
