// Listing QBX archives built byte by byte.
#include <gtest/gtest.h>

#include "core/archive.h"
#include "core/member_name.h"
#include "core/qbx.h"
#include "support/archive_builder.h"
#include "support/archive_walk.h"

#include <cstring>

namespace {
TEST(QbxChecksum, KnownValues) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(QbxChecksum(abc, 3, 0), 0x00000556u);
  // Running the checksum in pieces gives the same value as in one go.
  Bytes data = BytesOf("the quick brown fox jumps over the lazy dog");
  uint32_t whole = QbxChecksum(data.data(), data.size(), 0);
  uint32_t split = QbxChecksum(data.data() + 10, data.size() - 10, QbxChecksum(data.data(), 10, 0));
  EXPECT_EQ(whole, split);
}

struct QbxCase {
  const char* what;
  std::vector<QbxMemberFields> members;
  Bytes tail;                       // appended after the members
  std::vector<uint64_t> offsets;    // of the members expected in the list
  uint32_t openMode;
  uint64_t appendOffset;
  ResultCode verdict = kResultOk;  // of the Test walk
};

// What the listing finds, and what Test then says of the archive.
// No writer stores a size of -5: the header is damage.
Bytes NegativeSizeMember() {
  Bytes a;
  AppendQbxMember(a, {"neg", {}});
  EntryRecord e;
  std::memcpy(&e, a.data(), 512);
  e.packedSize = -5;
  e.checksum = QbxChecksum(reinterpret_cast<const uint8_t*>(&e), 508, 0);
  std::memcpy(a.data(), &e, 512);
  return a;
}

TEST(QbxList, MembersOffsetsAndDamage) {
  QbxMemberFields empty{"empty.txt", {}};
  QbxMemberFields five{"five.bin", BytesOf("12345")};
  QbxMemberFields newer{"newer", BytesOf("x")};
  newer.formatVersion = 1;
  Bytes wrongMagic(512, 0);
  std::memcpy(wrongMagic.data(), "XBQJ", 4);
  Bytes damagedHeader;
  AppendQbxMember(damagedHeader, {"damaged", {}});
  damagedHeader[100] ^= 1;
  Bytes cut;
  AppendQbxMember(cut, {"big", Bytes(1000, 'b')});
  cut.resize(600);
  Bytes flipped;
  AppendQbxMember(flipped, {"f", BytesOf("hello")});
  flipped[514] ^= 0xFF;
  Bytes noChecksum;
  AppendQbxMember(noChecksum, five);
  noChecksum.resize(noChecksum.size() - 4);
  const Bytes negativeSize = NegativeSizeMember();
  const QbxCase cases[] = {
      {"empty archive", {}, {}, {}, kModeReadWrite, 0},
      {"0-byte and 5-byte members", {empty, five, empty}, {}, {0, 512, 1033}, kModeReadWrite, 1545},
      {"member larger than the buffer", {{"big", Bytes(300000, 'b')}, five}, {}, {0, 300516}, kModeReadWrite, 301037},
      {"newer format version ends the list", {five, newer, five}, {}, {0}, kModeReadOnly, 521, kResultNewerVersion},
      {"wrong magic", {five}, wrongMagic, {0}, kModeReadOnly, 521, kResultChecksum},
      {"damaged header", {empty}, damagedHeader, {0}, kModeReadOnly, 512, kResultChecksum},
      {"partial header at the end", {five}, Bytes(100, 'p'), {0}, kModeReadOnly, 521, kResultUnexpectedEnd},
      {"foreign file of under 512 bytes", {}, BytesOf("just some text"), {}, kModeReadOnly, 0, kResultUnexpectedEnd},
      {"data cut off by the end of the file", {}, cut, {0}, kModeReadOnly, 1516, kResultUnexpectedEnd},
      {"last data checksum missing", {}, noChecksum, {0}, kModeReadOnly, 521, kResultUnexpectedEnd},
      {"changed data byte is for Test to find", {}, flipped, {0}, kModeReadWrite, 521, kResultChecksum},
      {"negative size", {five}, negativeSize, {0}, kModeReadOnly, 521, kResultFormat},
  };
  for (const QbxCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    Bytes a;
    for (const QbxMemberFields& m : c.members) AppendQbxMember(a, m);
    a.insert(a.end(), c.tail.begin(), c.tail.end());
    WriteBytes(dir.Path("a.qbx"), a);
    ListingContext l(dir.Path("a.qbx"));
    ASSERT_EQ(l.Open(), kResultOk);
    ASSERT_EQ(l.members.size(), c.offsets.size());
    for (size_t i = 0; i < c.offsets.size(); ++i) {
      EXPECT_EQ(l.members[i].index, i);
      EXPECT_EQ(l.members[i].offset, c.offsets[i]);
      EXPECT_EQ(l.members[i].entry.size, static_cast<uint64_t>(l.members[i].entry.packedSize));
    }
    EXPECT_EQ(l.context.openMode, c.openMode);
    EXPECT_EQ(l.context.memberCount, c.offsets.size());
    EXPECT_EQ(l.context.appendOffset, c.appendOffset);
    CloseArchive(&l.context);
    EXPECT_EQ(WalkArchive(dir.Path("a.qbx"), dir.Path("out"), {}), c.verdict);
  }
}

// The member with the lying size fails before a file is made for it.
TEST(QbxExtract, NegativeSizeLeavesNoFile) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.qbx"), NegativeSizeMember());
  WalkOptions extract;
  extract.testFlag = 0;
  EXPECT_EQ(WalkArchive(dir.Path("a.qbx"), dir.Path("out"), extract), kResultFormat);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out") / "neg"));
}

TEST(QbxList, NameCutInsideAUtf8SequenceDropsTheIncompleteCharacter) {
  // 100 characters of three bytes: 300 bytes, cut to 256 inside the 86th character.
  std::string name;
  for (int i = 0; i < 100; ++i) name += "\xE2\x82\xAC";  // U+20AC
  ScratchDir dir;
  Bytes a;
  AppendQbxMember(a, {name, {}});
  WriteBytes(dir.Path("a.qbx"), a);
  ListingContext l(dir.Path("a.qbx"));
  ASSERT_EQ(l.Open(), kResultOk);
  ASSERT_EQ(l.members.size(), 1u);
  EXPECT_EQ(l.members[0].name, Utf8Of(std::u16string(85, u'\u20AC')));
}
}  // namespace
