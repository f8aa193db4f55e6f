// Listing TAR and QBX archives built block by block, quirks and damage included, and the QBX
// checksum.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>
#include <random>
#include <tuple>

#include "core/archive.h"
#include "core/filetime.h"
#include "core/qbx.h"
#include "core/tar.h"
#include "support/archive_builder.h"
#include "support/archive_walk.h"
#include "support/case_name.h"

namespace {
struct Member { std::string name; uint64_t size; uint32_t index; uint64_t offset; uint64_t unixTime = 1600000000; };
// memberCount: header blocks, zero blocks between members included; verdict: of the Test walk.
struct Case {
  const char* what; Bytes archive; std::vector<Member> members; uint32_t openMode, memberCount; uint64_t appendOffset;
  ResultCode verdict = kResultOk; const char* file = "a.tar";
};

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes Zeros(uint32_t blocks) { return Bytes(blocks * kTarBlockSize, 0); }
// Twelve octal digits as old GNU headers write their map.
void PutOctal12(uint8_t* field, uint64_t value) {
  for (int i = 10; i >= 0; --i, value >>= 3) field[i] = static_cast<uint8_t>('0' + (value & 7));
}

// A header of an old GNU sparse file of size stored bytes at offset 10 in a file of size + 20,
// whose extension blocks follow: `more` of them that say another follows, then one that
// ends the chain.
Bytes SparseHeader(uint64_t size, int more) {
  Bytes a = TarHeader({"sparse", size, 1, 0644, 'S'});
  PutOctal12(&a[386], 10);
  PutOctal12(&a[398], size);
  PutOctal12(&a[483], size + 20);
  a[kTarSparseExtendedOffset] = 1;
  RefreshTarChecksum(a.data());
  Bytes extension = Zeros(1);
  extension[kTarSparseBlockExtendedOffset] = 1;
  for (int i = 0; i < more; ++i) a = a + extension;
  return a;
}

// Plexus Archiver (Maven's assemblies) right-aligns every number with spaces and ends it
// with a zero and a space: " 14157\0 ".
Bytes PlexusMember(const std::string& name, const Bytes& data) {
  Bytes h = TarMember({name, data.size()}, data);
  auto put = [&](uint32_t offset, int width, uint64_t value) {
    char field[16];
    std::snprintf(field, sizeof field, "%*llo%c ", width - 2, static_cast<unsigned long long>(value), 0);
    std::memcpy(&h[offset], field, static_cast<size_t>(width));
  };
  put(kTarModeOffset, 8, 0644);
  put(kTarUidOffset, 8, 1000);
  put(kTarGidOffset, 8, 1000);
  put(kTarSizeOffset, 12, data.size());
  put(kTarMtimeOffset, 12, 1600000000);
  std::memset(&h[kTarChksumOffset], ' ', 8);
  put(kTarChksumOffset, 8, std::accumulate(h.begin(), h.begin() + kTarBlockSize, 0u));
  return h;
}

// A header in the POSIX layout, its name split between prefix and name fields.
Bytes UstarMember(const std::string& prefix, const std::string& name, const char* magic = "ustar\0" "00") {
  return TarMember({.name = name, .size = 1, .magic = std::string(magic, 8), .prefix = prefix}, BytesOf("u"));
}

const Bytes kKept = TarMember({"kept", 2}, BytesOf("ok"));
Case Damage(const char* what, const Bytes& tail, ResultCode verdict = kResultChecksum) {
  return {what, kKept + tail + Zeros(2), {{"kept", 2, 0, 0}}, kModeReadOnly, 1, 1024, verdict};
}

std::vector<Case> Cases() {
  const Bytes hello = BytesOf("hello");
  const std::string longName = std::string(60, 'a') + "/" + std::string(60, 'b') + "/Gr\xC3\xBC\xC3\x9F" "e.txt";
  Bytes zeroChecksum = Zeros(1);
  zeroChecksum[0] = 'n';
  const std::string huge(kTarMaxExtendedLength + 1, 'a');
  const Bytes paxCutOff = Cut(PaxHeader(PaxRecord("comment", std::string(2000, 'c'))), 512);  // its data needs 2048 bytes
  return {
      {"numbers with spaces", TarMember({.name = "s", .size = 5, .spacesInNumbers = true}, hello) + Zeros(2),
       {{"s", 5, 0, 0}}, kModeReadWrite, 1, 1024},
      {"numbers as Plexus Archiver writes them", PlexusMember("p1", hello) + PlexusMember("p2", hello) + Zeros(2),
       {{"p1", 5, 0, 0}, {"p2", 5, 1, 1024}}, kModeReadWrite, 2, 2048},
      {"GNU long name: one member with the whole name",
       GnuLongName(longName) + TarMember({longName.substr(0, 99), 5}, hello) + TarMember({"next", 0}) + Zeros(2),
       {{longName, 5, 0, 0}, {"next", 0, 1, 2048}}, kModeReadWrite, 2, 2560},
      {"GNU long link name belongs to its member", GnuLongName(longName, 'K') + TarMember({"link", 0, 1600000000, 0777, '2'}) + Zeros(2),
       {{"link", 0, 0, 0}}, kModeReadWrite, 1, 1536},
      {"pax path outranks a GNU long name", GnuLongName("gnu/name") + PaxHeader(PaxRecord("path", "pax/name")) + TarMember({"field", 0}) + Zeros(2),
       {{"pax/name", 0, 0, 0}}, kModeReadWrite, 1, 2560},
      {"ustar prefix joined with a slash", UstarMember("a/b", "c.txt") + Zeros(2), {{"a/b/c.txt", 1, 0, 0}}, kModeReadWrite, 1, 1024},
      {"GNU magic: no prefix there", UstarMember("a/b", "c.txt", "ustar  \0") + Zeros(2), {{"c.txt", 1, 0, 0}}, kModeReadWrite, 1, 1024},
      {"directory holds no data whatever its size says",
       TarMember({"dir", 1, 1600000000, 0755, '5'}) + TarMember({"after", 0}) + Zeros(2),
       {{"dir", 0, 0, 0}, {"after", 0, 1, 512}}, kModeReadWrite, 2, 1024},
      {"old-style directory: a name ending in a slash", TarMember({"old/", 1}) + TarMember({"after", 0}) + Zeros(2),
       {{"old/", 0, 0, 0}, {"after", 0, 1, 512}}, kModeReadWrite, 2, 1024},
      {"volume label is not a member", TarMember({"Backup 1", 0, 1600000000, 0, 'V'}) + TarMember({"m", 1}, BytesOf("1")) + Zeros(2),
       {{"m", 1, 0, 0}}, kModeReadWrite, 1, 1536},
      {"signed checksum", TarMember({.name = "\xC3\xA9t\xC3\xA9", .size = 5, .signedChecksum = true}, hello) + Zeros(2),
       {{"\xC3\xA9t\xC3\xA9", 5, 0, 0}}, kModeReadWrite, 1, 1024},
      {"name of exactly 100 bytes", TarMember({std::string(100, 'n'), 0}) + Zeros(2), {{std::string(100, 'n'), 0, 0, 0}},
       kModeReadWrite, 1, 512},
      {"zero blocks between members take indexes", TarMember({"first", 3}, BytesOf("abc")) + Zeros(3) + TarMember({"second", 0}) + Zeros(2),
       {{"first", 3, 0, 0}, {"second", 0, 4, 2560}}, kModeReadWrite, 5, 3072},
      Damage("garbage block", Bytes(512, 'g')),
      Damage("bad checksum", TarHeader({"bad", 0, 1600000000, 0644, '0', false, false, 1})),
      Damage("zero checksum in a block that is not empty", zeroChecksum),
      Damage("pax header with a bad checksum", PaxHeader(PaxRecord("mtime", "1"), 'x', "././@PaxHeader", 5) + TarMember({"after", 0})),
      Damage("pax header too long", PaxHeader(huge), kResultFormat),
      Damage("file ends in a pax header", paxCutOff, kResultUnexpectedEnd),
      Damage("sparse extension blocks without end", SparseHeader(0, 200), kResultFormat),
      {"a text file is no archive to append to", BytesOf("just a note, 39 bytes of plain text.\n\n"), {}, kModeReadOnly, 0, 0,
       kResultUnexpectedEnd},
      {"file ends inside the first header", Cut(TarMember({"first", 0}), 300), {}, kModeReadOnly, 0, 0, kResultUnexpectedEnd},
      {"part of a block behind the end blocks", TarMember({"m", 1}, BytesOf("1")) + Zeros(2) + Bytes(100, 0),
       {{"m", 1, 0, 0}}, kModeReadOnly, 1, 1024, kResultUnexpectedEnd},
      {"garbage behind the end blocks", TarMember({"m", 1}, BytesOf("1")) + Zeros(2) + Bytes(512, 0x55),
       {{"m", 1, 0, 0}}, kModeReadOnly, 1, 1024, kResultChecksum},
      {"data cut off by the end of the file", TarMember({"whole", 3}, BytesOf("abc")) + Cut(TarMember({"cut", 2000}, Bytes(2000, 'x')), 700),
       {{"whole", 3, 0, 0}, {"cut", 2000, 1, 1024}}, kModeReadOnly, 2, 3584, kResultUnexpectedEnd},
      {"member larger than the buffer", TarMember({"big", 300000}, Bytes(300000, 'b')) + Zeros(2), {{"big", 300000, 0, 0}},
       kModeReadWrite, 1, 300544},
      {"pax path, size and time",
       PaxHeader(PaxRecord("path", "a/very/long/name") + PaxRecord("mtime", "1600000000.123456789") + PaxRecord("size", "70000")) +
           TarMember({"short", 0, 5}) + Bytes(70144, 'd') + TarMember({"next", 1}, BytesOf("n")) + Zeros(2),
       {{"a/very/long/name", 70000, 0, 0}, {"next", 1, 1, 71680}}, kModeReadWrite, 2, 72704},
      {"pax header of an odd type named PaxHeader", PaxHeader(PaxRecord("size", "700"), 'A') + TarMember({"member", 0}) + Bytes(1024, 1) +
           TarMember({"after", 0}) + Zeros(2), {{"member", 700, 0, 0}, {"after", 0, 1, 2560}}, kModeReadWrite, 2, 3072},
      {"GNU tar x header", PaxHeader(PaxRecord("size", "700"), 'x', "./PaxHeaders.1234/member") + TarMember({"member", 0}) + Bytes(1024, 1) +
           TarMember({"after", 0}) + Zeros(2), {{"member", 700, 0, 0}, {"after", 0, 1, 2560}}, kModeReadWrite, 2, 3072},
      {"global header keys are not applied", PaxHeader(PaxRecord("size", "700"), 'g', "pax_global_header") + TarMember({"member", 0}) +
           TarMember({"after", 0}) + Zeros(2), {{"member", 0, 0, 0}, {"after", 0, 1, 1536}}, kModeReadWrite, 2, 2048},
      {"several extended headers: the last x counts",
       PaxHeader(PaxRecord("comment", "git"), 'g', "pax_global_header") + PaxHeader(PaxRecord("size", "9999") + PaxRecord("mtime", "5")) +
           PaxHeader(PaxRecord("size", "600") + PaxRecord("mtime", "1700000000")) + TarMember({"m", 0, 10}) + Zeros(2) + TarMember({"n", 0}) + Zeros(2),
       {{"m", 600, 0, 0, 1700000000}, {"n", 0, 1, 4608}}, kModeReadWrite, 2, 5120},
      {"keys match whole records only",
       PaxHeader(PaxRecord("path", "dir/size=99999/f") + PaxRecord("GNU.sparse.realsize", "88888") + PaxRecord("size", "3")) +
           TarMember({"f", 0}, BytesOf("abc")) + Zeros(2), {{"dir/size=99999/f", 3, 0, 0}}, kModeReadWrite, 1, 2048},
      {"zero block after an extended header", PaxHeader(PaxRecord("mtime", "1")) + Zeros(1) + TarMember({"m", 0}) + Zeros(2),
       {{"m", 0, 1, 1536}}, kModeReadWrite, 2, 2048},
      {"old GNU sparse extension blocks", SparseHeader(5, 1) + Zeros(1) + hello + Bytes(507, 0) + TarMember({"next", 0}) + Zeros(2),
       {{"sparse", 25, 0, 0, 1}, {"next", 0, 1, 2048}}, kModeReadWrite, 2, 2560},
  };
}

using ListCase = testing::TestWithParam<Case>;

// What the listing finds, and what Test then says of the archive.
TEST_P(ListCase, MembersModeAndEnd) {
  const Case& c = GetParam();
  const Listing l = ListBytes(c.archive, c.file);
  ASSERT_EQ(l.result, kResultOk);
  ASSERT_EQ(l.members.size(), c.members.size());
  for (size_t i = 0; i < c.members.size(); ++i) {
    const Member& m = c.members[i];
    const ListedMember& got = l.members[i];
    EXPECT_EQ(std::tie(got.name, got.entry.size, got.index, got.offset), std::tie(m.name, m.size, m.index, m.offset)) << i;
    EXPECT_EQ(got.entry.modified, UnixToFileTime(m.unixTime)) << i;
  }
  EXPECT_EQ(l.openMode, c.openMode);
  EXPECT_EQ(l.memberCount, c.memberCount);
  EXPECT_EQ(l.appendOffset, c.appendOffset);
  EXPECT_EQ(l.verdict, c.verdict);
}
INSTANTIATE_TEST_SUITE_P(TarList, ListCase, testing::ValuesIn(Cases()), CaseName());

TEST(TarList, TypeflagAttributes) {
  const std::pair<char, uint32_t> types[] = {{'\0', kAttrArchive}, {'0', kAttrArchive}, {'7', kAttrArchive},
                                             {'S', kAttrArchive}, {'5', kAttrDirectory}, {'2', kAttrLink},
                                             {'1', kAttrHardLink}, {'3', 0}, {'6', 0}, {'Z', 0}};
  Bytes a;
  for (auto [type, attributes] : types) a = a + TarMember({.name = std::string("m") + (type ? type : '_'), .typeflag = type});
  const Listing l = ListBytes(a + Zeros(2), "a.tar");
  ASSERT_EQ(l.members.size(), std::size(types));
  for (size_t i = 0; i < std::size(types); ++i)
    EXPECT_EQ(l.members[i].entry.attributes, types[i].second) << "typeflag " << types[i].first;
}

// A size of 9 GB in base-256 or from pax: stepped over (a sparse file, nothing on disk).
class TarHugeSize : public testing::TestWithParam<bool> {};
TEST_P(TarHugeSize, IsSteppedOver) {
  const uint64_t big = 9000000000ULL;
  const Bytes head = GetParam() ? Bytes() : PaxHeader(PaxRecord("size", "9000000000") + PaxRecord("mtime", "1600000000.5"));
  Bytes h = TarHeader({"big", 0});
  if (GetParam()) {
    std::memset(&h[kTarSizeOffset], 0, 12);
    h[kTarSizeOffset] = 0x80;
    for (int i = 0; i < 8; ++i) h[kTarSizeOffset + 11 - i] = static_cast<uint8_t>(big >> (8 * i));
    RefreshTarChecksum(h.data());
  }
  ScratchDir dir;
  WriteBytes(dir.Path("big.tar"), head + h);
  {
    std::fstream f(dir.Path("big.tar"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(head.size() + h.size() + big + TarPadding(big)));
    const Bytes tail = TarMember({"after", 0}) + Zeros(2);
    f.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
  }
  ListingContext l(dir.Path("big.tar"));
  ASSERT_EQ(l.Open(), kResultOk);
  ASSERT_EQ(l.members.size(), 2u);
  EXPECT_EQ(l.members[0].entry.size, big);
  EXPECT_EQ(NameOf(l.members[1].entry), "after");
  EXPECT_EQ(l.context.openMode, kModeReadWrite);
}
INSTANTIATE_TEST_SUITE_P(TarList, TarHugeSize, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Base256" : "Pax"; });

// ---- QBX archives and their checksum.

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

// QBX members carry the builder's time, 2019-04-17 18:40 UTC.
constexpr uint64_t kQbxTime = 1555526400;
std::vector<Case> QbxCases() {
  const QbxMemberFields empty{"empty.txt", {}}, five{"five.bin", BytesOf("12345")};
  const Member first{"five.bin", 5, 0, 0, kQbxTime};
  Bytes wrongMagic(512, 0);
  std::memcpy(wrongMagic.data(), "XBQJ", 4);
  Bytes damagedHeader = QbxBytes({empty, empty}), flipped = QbxBytes({{"f", BytesOf("hello")}});
  damagedHeader[612] ^= 1;
  flipped[514] ^= 0xFF;
  const Bytes cut = Cut(QbxBytes({{"big", Bytes(1000, 'b')}}), 600), noChecksum = Cut(QbxBytes({five}), 517);
  const auto readOnly = [&](const char* what, const Bytes& bytes, uint64_t end, ResultCode verdict,
                            const Member& m) -> Case { return {what, bytes, {m}, kModeReadOnly, 1, end, verdict, "a.qbx"}; };
  return {
      {"empty archive", {}, {}, kModeReadWrite, 0, 0, kResultOk, "a.qbx"},
      {"0-byte and 5-byte members", QbxBytes({empty, five, empty}),
       {{"empty.txt", 0, 0, 0, kQbxTime}, {"five.bin", 5, 1, 512, kQbxTime}, {"empty.txt", 0, 2, 1033, kQbxTime}},
       kModeReadWrite, 3, 1545, kResultOk, "a.qbx"},
      {"member larger than the buffer", QbxBytes({{"big", Bytes(300000, 'b')}, five}),
       {{"big", 300000, 0, 0, kQbxTime}, {"five.bin", 5, 1, 300516, kQbxTime}}, kModeReadWrite, 2, 301037, kResultOk, "a.qbx"},
      readOnly("newer format version ends the list", QbxBytes({five, {"newer", BytesOf("x"), 0, 0x20, 1}, five}), 521,
               kResultNewerVersion, first),
      readOnly("wrong magic", Joined({QbxBytes({five}), wrongMagic}), 521, kResultChecksum, first),
      readOnly("damaged header", damagedHeader, 512, kResultChecksum, {"empty.txt", 0, 0, 0, kQbxTime}),
      readOnly("partial header at the end", Joined({QbxBytes({five}), Bytes(100, 'p')}), 521, kResultUnexpectedEnd, first),
      {"foreign file of under 512 bytes", BytesOf("just some text"), {}, kModeReadOnly, 0, 0, kResultUnexpectedEnd, "a.qbx"},
      readOnly("data cut off by the end of the file", cut, 1516, kResultUnexpectedEnd, {"big", 1000, 0, 0, kQbxTime}),
      readOnly("last data checksum missing", noChecksum, 521, kResultUnexpectedEnd, first),
      {"changed data byte is for Test to find", flipped, {{"f", 5, 0, 0, kQbxTime}}, kModeReadWrite, 1, 521, kResultChecksum,
       "a.qbx"},
      readOnly("negative size", Joined({QbxBytes({five}), NegativeSizeMember()}), 521, kResultFormat, first),
  };
}
INSTANTIATE_TEST_SUITE_P(Qbx, ListCase, testing::ValuesIn(QbxCases()), CaseName());

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

// fill: every byte, or random bytes when randomBytes; random start values are or-ed with startMask.
struct ChecksumCase { const char* what; uint8_t fill; bool randomBytes; uint32_t startMask; };
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

const ChecksumCase kChecksumCases[] = {
    {"random bytes", 0, true, 0}, {"all ones bytes", 0xFF, false, 0},
    {"all ones bytes, carry bits nearly set", 0xFF, false, 0x7E00}, {"all ones bytes, high bits set", 0xFF, false, 0xFFFF0000},
    {"random bytes, carry bits set", 0, true, 0xFE00}, {"zero bytes, every bit set", 0, false, 0xFFFFFFFF}};
INSTANTIATE_TEST_SUITE_P(Cases, QbxChecksumBlocks, testing::ValuesIn(kChecksumCases), CaseName());
}  // namespace
