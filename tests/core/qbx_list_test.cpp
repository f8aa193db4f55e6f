// Listing QBX archives built byte by byte, and the QBX checksum.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "core/archive.h"
#include "core/qbx.h"
#include "support/archive_builder.h"
#include "support/archive_walk.h"
#include "support/case_name.h"

namespace {
// The builder sums with QbxChecksum too: this value is what other writers' files hold.
TEST(QbxChecksum, KnownValue) {
  const Bytes text = BytesOf("the quick brown fox jumps over the lazy dog");  // long enough to rotate
  EXPECT_EQ(QbxChecksum(text.data(), text.size(), 0), 0x68B2BE53u);
}

// No writer stores a size of -5: the header is damage.
Bytes NegativeSizeMember() {
  Bytes a = QbxBytes({{"neg", {}}});
  EntryRecord e;
  std::memcpy(&e, a.data(), 512);
  e.packedSize = -5;
  e.checksum = QbxChecksum(reinterpret_cast<const uint8_t*>(&e), 508, 0);
  std::memcpy(a.data(), &e, 512);
  return a;
}

struct QbxCase {
  const char* what;
  Bytes archive;
  std::vector<uint64_t> offsets;  // of the members expected in the list
  uint32_t openMode;
  uint64_t appendOffset;
  ResultCode verdict = kResultOk;  // of the Test walk
};

std::vector<QbxCase> QbxCases() {
  const QbxMemberFields empty{"empty.txt", {}}, five{"five.bin", BytesOf("12345")};
  Bytes wrongMagic(512, 0);
  std::memcpy(wrongMagic.data(), "XBQJ", 4);
  Bytes damagedHeader = QbxBytes({empty, empty});
  damagedHeader[612] ^= 1;
  Bytes cut = QbxBytes({{"big", Bytes(1000, 'b')}});
  cut.resize(600);
  Bytes flipped = QbxBytes({{"f", BytesOf("hello")}});
  flipped[514] ^= 0xFF;
  Bytes noChecksum = QbxBytes({five});
  noChecksum.resize(noChecksum.size() - 4);
  return {
      {"empty archive", {}, {}, kModeReadWrite, 0},
      {"0-byte and 5-byte members", QbxBytes({empty, five, empty}), {0, 512, 1033}, kModeReadWrite, 1545},
      {"member larger than the buffer", QbxBytes({{"big", Bytes(300000, 'b')}, five}), {0, 300516}, kModeReadWrite, 301037},
      {"newer format version ends the list", QbxBytes({five, {"newer", BytesOf("x"), 0, 0x20, 1}, five}), {0},
       kModeReadOnly, 521, kResultNewerVersion},
      {"wrong magic", Joined({QbxBytes({five}), wrongMagic}), {0}, kModeReadOnly, 521, kResultChecksum},
      {"damaged header", damagedHeader, {0}, kModeReadOnly, 512, kResultChecksum},
      {"partial header at the end", Joined({QbxBytes({five}), Bytes(100, 'p')}), {0}, kModeReadOnly, 521, kResultUnexpectedEnd},
      {"foreign file of under 512 bytes", BytesOf("just some text"), {}, kModeReadOnly, 0, kResultUnexpectedEnd},
      {"data cut off by the end of the file", cut, {0}, kModeReadOnly, 1516, kResultUnexpectedEnd},
      {"last data checksum missing", noChecksum, {0}, kModeReadOnly, 521, kResultUnexpectedEnd},
      {"changed data byte is for Test to find", flipped, {0}, kModeReadWrite, 521, kResultChecksum},
      {"negative size", Joined({QbxBytes({five}), NegativeSizeMember()}), {0}, kModeReadOnly, 521, kResultFormat},
  };
}

class QbxList : public testing::TestWithParam<QbxCase> {};

// What the listing finds, and what Test then says of the archive.
TEST_P(QbxList, MembersOffsetsAndDamage) {
  const QbxCase& c = GetParam();
  const Listing l = ListBytes(c.archive, "a.qbx");
  ASSERT_EQ(l.result, kResultOk);
  ASSERT_EQ(l.members.size(), c.offsets.size());
  for (size_t i = 0; i < c.offsets.size(); ++i) {
    EXPECT_EQ(l.members[i].index, i);
    EXPECT_EQ(l.members[i].offset, c.offsets[i]);
    EXPECT_EQ(l.members[i].entry.size, static_cast<uint64_t>(l.members[i].entry.packedSize));
  }
  EXPECT_EQ(l.openMode, c.openMode);
  EXPECT_EQ(l.memberCount, c.offsets.size());
  EXPECT_EQ(l.appendOffset, c.appendOffset);
  EXPECT_EQ(l.verdict, c.verdict);
}
INSTANTIATE_TEST_SUITE_P(Qbx, QbxList, testing::ValuesIn(QbxCases()), CaseName());

// The member with the lying size fails before a file is made for it.
TEST(QbxExtract, NegativeSizeLeavesNoFile) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.qbx"), NegativeSizeMember());
  EXPECT_EQ(WalkArchive(dir.Path("a.qbx"), dir.Path("out"), kExtract), kResultFormat);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out") / "neg"));
}

// The block form of the QBX data checksum against the byte-by-byte definition, above all
// where a block is one addition away from a carry into bit 31. A start value is what the
// previous piece of a member left: the random ones stand for every way of chaining pieces.
uint32_t ByteByByte(const uint8_t* p, size_t n, uint32_t h) {
  for (size_t i = 0; i < n; ++i) {
    h += p[i];
    h = (h << 1) | (h >> 31);
  }
  return h;
}

struct ChecksumCase {
  const char* what;
  uint8_t fill;        // every byte, or random bytes when randomBytes
  bool randomBytes;
  uint32_t startMask;  // random start values are or-ed with this
};

class QbxChecksumBlocks : public testing::TestWithParam<ChecksumCase> {};

// Every length up to a few blocks, at every alignment, from many start values.
TEST_P(QbxChecksumBlocks, EqualsByteByByte) {
  const ChecksumCase& c = GetParam();
  std::mt19937 random(7);
  std::vector<uint8_t> data(16 * 6 + 15);
  for (uint8_t& b : data) b = c.randomBytes ? static_cast<uint8_t>(random()) : c.fill;
  int mismatches = 0;
  for (int round = 0; round < 2000; ++round) {
    const uint32_t start = static_cast<uint32_t>(random()) | c.startMask;
    const size_t at = random() % 16, length = random() % (data.size() - at + 1);
    if (QbxChecksum(data.data() + at, length, start) != ByteByByte(data.data() + at, length, start)) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QbxChecksumBlocks,
    testing::Values(ChecksumCase{"random bytes", 0, true, 0},
                    ChecksumCase{"all ones bytes", 0xFF, false, 0},
                    ChecksumCase{"all ones bytes, carry bits nearly set", 0xFF, false, 0x7E00},
                    ChecksumCase{"all ones bytes, high bits set", 0xFF, false, 0xFFFF0000},
                    ChecksumCase{"random bytes, carry bits set", 0, true, 0xFE00},
                    ChecksumCase{"zero bytes, every bit set", 0, false, 0xFFFFFFFF}),
    CaseName());
}  // namespace
