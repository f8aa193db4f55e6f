// The member chunk loop on real files: several input chunks and output blocks, stored and
// encrypted data, cut and damaged streams, a failing read and a cancel. Failing writes: ZipFailure.
#include <gtest/gtest.h>

#include <memory>

#include "core/progress.h"
#include "deflate/crc32.h"
#include "deflate/member_decode.h"
#include "support/deflate_writer.h"
#include "support/zip_builder.h"
#include "zip/zip_crypto.h"

namespace {
// data goes into the archive file after a 7-byte prefix; the loop is told to read remaining bytes.
struct Member { Bytes data; int64_t remaining; bool decrypt = false; InflateFunction decoder = Inflate; };

struct Decoded { ResultCode result; uint64_t total; uint32_t checksum; Bytes written; };

const uint32_t kKeys[3] = {0x11111111, 0x22222222, 0x33333333};

void Decrypt(ArchiveContext* c, uint8_t* bytes, uint32_t count) { ZipCryptoDecrypt(c->zipKeys, bytes, count); }

Decoded DecodeFile(const Member& m, uint32_t jobState = kJobRunning) {
  ScratchDir dir;
  Bytes file = BytesOf("prefix:");
  file.insert(file.end(), m.data.begin(), m.data.end());
  WriteBytes(dir.Path("archive"), file);
  auto context = std::make_unique<ArchiveContext>();
  ArchiveContext* c = context.get();
  InitArchiveContext(c, nullptr);
  c->jobState = jobState;
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

Member Whole(const Bytes& stream) { return {stream, static_cast<int64_t>(stream.size())}; }

Bytes Encrypt(const Bytes& b) {
  uint32_t keys[3] = {kKeys[0], kKeys[1], kKeys[2]};
  return EncryptWithKeys(keys, b);
}

void ExpectDecoded(const Decoded& d, const Bytes& expect) {
  EXPECT_EQ(d.result, kResultOk);
  EXPECT_EQ(d.total, expect.size());
  EXPECT_EQ(d.checksum, Crc32Update(0, expect.data(), expect.size()));
  EXPECT_TRUE(d.written == expect);
}

TEST(DecodeMemberData, DecodesAcrossInputChunksAndOutputBlocks) {
  const Bytes data = RandomBytes(700000, 11);  // three input chunks, two output blocks
  ExpectDecoded(DecodeFile(Whole(StoredStream(data))), data);
  // Surplus behind the stream, even a whole chunk of it, is read and ignored.
  Bytes padded = StoredStream(data);
  padded.resize(padded.size() + 300000, 0xEE);
  ExpectDecoded(DecodeFile(Whole(padded)), data);
  // One input chunk giving many output blocks: 258-byte matches of one byte.
  BitWriter w;
  BlockStart(w, true, 1);
  FixedSymbol(w, 'q');
  for (int i = 0; i < 8000; i++) {
    FixedSymbol(w, 285);
    FixedDistance(w, 0);
  }
  FixedSymbol(w, 256);
  ExpectDecoded(DecodeFile(Whole(w.bytes)), Bytes(1 + 8000 * 258, 'q'));
  // The same data stored, with no decoder, and encrypted.
  Member stored = Whole(data);
  stored.decoder = nullptr;
  ExpectDecoded(DecodeFile(stored), data);
  Member secret = Whole(Encrypt(StoredStream(data)));
  secret.decrypt = true;
  ExpectDecoded(DecodeFile(secret), data);
  ExpectDecoded(DecodeFile({{}, 0}), {});  // no data: an empty member
}

TEST(DecodeMemberData, FailuresGiveTheirResultCodes) {
  const Bytes data = RandomBytes(300000, 12);
  const Bytes stream = StoredStream(data);
  struct Case { const char* what; Member member; ResultCode expect; };
  Member cut = {Bytes(stream.begin(), stream.end() - 3), static_cast<int64_t>(stream.size() - 3)};
  Member shortFile = {stream, static_cast<int64_t>(stream.size() + 1)};
  Member wrongKeys = Whole(Encrypt(Hex("07")));
  wrongKeys.decrypt = true;
  // Stored blocks ending exactly at the first chunk's end, then one byte that starts
  // another block: the last chunk gives no output, yet the stream is unfinished.
  BitWriter w;
  StoredBlocks(w, Bytes(kIoBufferSize - 4 * 5, 'z'), false);  // four blocks
  w.Raw(Hex("02"));
  const Case cases[] = {
      {"stream cut short", cut, kResultFormat},
      {"file shorter than the member", shortFile, kResultUnexpectedEnd},
      {"invalid data after decryption", wrongKeys, kResultPassword},
      {"unfinished in a chunk without output", Whole(w.bytes), kResultFormat},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeFile(c.member).result, c.expect) << c.what;
}

TEST(DecodeMemberData, AFailingReadOrACancelStopsIt) {
  const Member m = Whole(StoredStream(RandomBytes(600000, 13)));
  ArmFault(kFaultRead, 2);
  EXPECT_EQ(DecodeFile(m).result, kResultRead);
  DisarmFaults();
  EXPECT_EQ(DecodeFile(m, kJobCancelling).result, kResultCancelled);
}
}  // namespace
