// ZIP listing on archives built byte by byte: where members end, how they are named and
// flagged, and where the walk stops.
#include <gtest/gtest.h>

#include "core/filetime.h"
#include "support/source_files.h"
#include "deflate/crc32.h"
#include "zip/dos_time.h"
#include "support/zip_builder.h"

namespace {
struct Listed {
  std::string name;
  int64_t packed;
  uint64_t size;
  uint32_t attributes;
  uint32_t padding = 0;
};

constexpr uint32_t kStoredFlags = 0x80000000;
constexpr uint32_t kDeflatedFlags = 0x80000800;
constexpr uint32_t kStreamedFlags = 0x10000000;

// What a listing of the archive reports; the listing itself must succeed.
std::vector<ListedMember> List(const Bytes& archive) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.zip"), archive);
  ListingContext l(dir.Path("a.zip"));
  EXPECT_EQ(l.Open(), kResultOk);
  return l.members;
}

void ExpectListing(const Bytes& archive, const std::vector<Listed>& expect) {
  std::vector<ListedMember> got = List(archive);
  ASSERT_EQ(got.size(), expect.size());
  for (size_t i = 0; i < expect.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(NameOf(got[i].entry), expect[i].name);
    EXPECT_EQ(got[i].entry.packedSize, expect[i].packed);
    EXPECT_EQ(got[i].entry.size, expect[i].size);
    EXPECT_EQ(got[i].entry.attributes, expect[i].attributes);
    EXPECT_EQ(got[i].entry.padding, expect[i].padding);
  }
}

const Bytes kHello = BytesOf("hello, world\n");
uint32_t Crc32Of(const Bytes& b) { return Crc32Update(0, b.data(), b.size()); }
const Bytes kData = Pattern(5000);
}  // namespace

TEST(ZipList, MembersAndWhereTheWalkStops) {
  const std::vector<ZipEntryFields> two = {StoredEntry("a.txt", kHello), DeflatedEntry("b/c.bin", kData)};
  const int64_t deflated = static_cast<int64_t>(DeflatedEntry("", kData).data.size());
  const std::vector<Listed> both = {{"a.txt", 13, 13, kStoredFlags}, {"b/c.bin", deflated, 5000, kDeflatedFlags}};
  const Bytes marker = Le32Bytes(0x08074B50);
  const Bytes first = ZipArchive({two[0]}, false), second = ZipArchive({two[1]}, false);
  const Bytes open = ZipArchive(two, false);
  Bytes cutInData = open;
  cutInData.resize(cutInData.size() - 100);  // the listing does not read data
  // Records that close an archive end the walk as the central directory does.
  auto closed = [&](uint32_t signature) {
    Bytes tail = Le32Bytes(signature);
    tail.resize(60, 0);
    return Joined({open, tail});
  };
  const std::pair<const char*, std::pair<Bytes, std::vector<Listed>>> cases[] = {
      {"central directory", {ZipArchive(two), both}},
      {"central directory cut off", {open, both}},
      {"marker before the first header", {Joined({marker, first}), {both[0]}}},
      {"marker before a later header ends the list", {Joined({first, marker, second}), {both[0]}}},
      {"garbage behind the members", {Joined({open, BytesOf("not a header")}), both}},
      {"ZIP64 end record", {closed(0x06064B50), both}},
      {"ZIP64 end locator", {closed(0x07064B50), both}},
      {"digital signature", {closed(0x05054B50), both}},
      {"archive extra data", {closed(0x08064B50), both}},
      {"file ends inside a header", {Joined({first, Bytes(second.begin(), second.begin() + 20)}), {both[0]}}},
      {"file ends inside the data", {cutInData, both}},
      {"only the end record", {ZipArchive({}), {}}},
      {"empty file", {Bytes(), {}}},
  };
  for (const auto& [what, c] : cases) {
    SCOPED_TRACE(what);
    ExpectListing(c.first, c.second);
  }
}

TEST(ZipList, OffsetsTimeAndChecksum) {
  const Bytes rest = ZipArchive({StoredEntry("a.txt", kHello), StoredEntry("b.txt", kHello)});
  std::vector<ListedMember> got = List(Joined({Le32Bytes(0x30304B50), rest}));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].offset, 0u);
  EXPECT_EQ(got[0].entry.signature, 0x30304B50u);  // the marker it skipped
  EXPECT_EQ(got[1].offset, 4u + 30 + 5 + 13);
  EXPECT_EQ(got[1].entry.signature, 0x04034B50u);
  EXPECT_EQ(got[0].entry.checksum, Crc32Of(kHello));
  EXPECT_EQ(got[0].entry.modified, UnixToFileTime(1614834308));  // 2021-03-04 05:05:08, TZ=UTC
}

TEST(ZipList, NamesAndFlags) {
  ZipEntryFields nameless = StoredEntry("", kHello);
  ZipEntryFields zeroFirst = StoredEntry(std::string("\0abc", 4), kHello);
  ZipEntryFields utf8 = StoredEntry("caf\xC3\xA9", kHello);
  utf8.flags = 0x0800;
  const int64_t deflated = static_cast<int64_t>(DeflatedEntry("", kHello).data.size());
  ZipEntryFields strong = DeflatedEntry("strong", kHello);
  strong.flags = 0x0041;
  ZipEntryFields bzip2 = StoredEntry("bz", kHello);
  bzip2.method = 12;
  ZipEntryFields crypt = Encrypted(DeflatedEntry("crypt", kHello), "pw");
  ZipEntryFields deflate64 = StoredEntry("d64", kHello);
  deflate64.method = 9;
  const std::string longName(300, 'n');
  ExpectListing(ZipArchive({nameless, zeroFirst, utf8, nameless, strong, bzip2, crypt, deflate64,
                         StoredEntry(longName, kHello)}),
                {{"file0", 13, 13, kStoredFlags},
                 {"file1", 13, 13, kStoredFlags},
                 {"caf\xC3\xA9", 13, 13, kStoredFlags | 0x40000000},
                 {"file3", 13, 13, kStoredFlags},
                 {"strong", deflated, 13, 0x4800},
                 {"bz", 13, 13, 0x800},
                 {"crypt", static_cast<int64_t>(crypt.data.size()), 13, kDeflatedFlags | 0x4000},
                 {"d64", 13, 13, kDeflatedFlags},
                 {longName.substr(0, 256), 13, 13, kStoredFlags}});
  std::vector<ListedMember> got = List(ZipArchive({strong}));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].entry.method, 0xFFFF);  // strong encryption hides the method
}

TEST(ZipList, Zip64Sizes) {
  ZipEntryFields big = StoredEntry("big", kHello);
  big.overrideHeaderSizes = true;
  big.headerCompressed32 = big.headerSize32 = 0xFFFFFFFF;
  ZipEntryFields withField = big;
  withField.extra = {0x0A, 0, 4, 0, 'x', 'x', 'x', 'x'};  // another record comes first
  for (uint8_t b : Zip64Record(13, 13)) withField.extra.push_back(b);
  ZipEntryFields without = big;
  without.extra = {0x0A, 0, 16, 0};
  without.extra.resize(20, 'x');
  ZipEntryFields huge = big;
  huge.extra = Zip64Record(13, 0xFFFFFFFFFFFFFFF0ull);  // would wrap the walk back
  ZipEntryFields oneSizeOnly = big;
  oneSizeOnly.headerSize32 = 13;  // only both 0xFFFFFFFF defer to the ZIP64 record
  oneSizeOnly.extra = Zip64Record(13, 13);
  const ZipEntryFields after = StoredEntry("after", kHello);
  const std::pair<const char*, std::pair<Bytes, std::vector<Listed>>> cases[] = {
      {"ZIP64 record", {ZipArchive({withField, after}), {{"big", 13, 13, kStoredFlags}, {"after", 13, 13, kStoredFlags}}}},
      {"record missing: listed with sizes 0, and last", {ZipArchive({without, after}), {{"big", 0, 0, kStoredFlags | 0x20000000}}}},
      {"sizes no file can have", {ZipArchive({huge, after}), {{"big", 0, 0, kStoredFlags | 0x20000000}}}},
  };
  for (const auto& [what, c] : cases) {
    SCOPED_TRACE(what);
    ExpectListing(c.first, c.second);
  }
  std::vector<ListedMember> got = List(ZipArchive({oneSizeOnly}));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].entry.packedSize, 0xFFFFFFFF);
}

TEST(ZipList, StreamedMembersAreMeasuredByTheirDescriptors) {
  const ZipEntryFields after = StoredEntry("after", kHello);
  const Listed afterListed = {"after", 13, 13, kStoredFlags};
  // Data holding a header signature that no descriptor precedes.
  Bytes tricky = kData;
  const Bytes fake = Le32Bytes(0x04034B50);
  std::copy(fake.begin(), fake.end(), tricky.begin() + 1000);
  const Bytes central = Le32Bytes(0x02014B50);
  std::copy(central.begin(), central.end(), tricky.begin() + 3000);
  const std::pair<Descriptor, uint32_t> kinds[] = {{Descriptor::Plain, 12},
                                                   {Descriptor::Signed, 16},
                                                   {Descriptor::Zip64Plain, 20},
                                                   {Descriptor::Zip64Signed, 24}};
  for (const auto& [kind, length] : kinds) {
    SCOPED_TRACE(length);
    const ZipEntryFields s = Streamed(DeflatedEntry("s", kData), kind);
    const int64_t packed = static_cast<int64_t>(s.data.size());
    const Listed streamed = {"s", packed, 5000, kDeflatedFlags | kStreamedFlags, length};
    ExpectListing(ZipArchive({s, after}), {streamed, afterListed});
    // Nothing behind the descriptor: the file's last bytes are it.
    ExpectListing(ZipArchive({s}, false), {streamed});
    const ZipEntryFields t = Streamed(StoredEntry("t", tricky), kind);
    ExpectListing(ZipArchive({t, after}), {{"t", 5000, 5000, kStoredFlags | kStreamedFlags, length}, afterListed});
  }
  // A 32-bit descriptor behind a member that announced ZIP64 is taken too.
  ZipEntryFields mixed = Streamed(StoredEntry("m", kHello), Descriptor::Zip64Plain);
  mixed.descriptor = Descriptor::Signed;
  ExpectListing(ZipArchive({mixed, after}), {{"m", 13, 13, kStoredFlags | kStreamedFlags, 16}, afterListed});
  // No descriptor anywhere: listed with what was scanned, and last.
  ZipEntryFields lost = Streamed(StoredEntry("lost", kHello), Descriptor::None);
  Bytes lostArchive = ZipArchive({lost, after}, false);
  ExpectListing(lostArchive, {{"lost", static_cast<int64_t>(lostArchive.size()) - 34, 0,
                               kStoredFlags | kStreamedFlags | 0x20000000}});
}

// The search reads 262121 bytes at a time behind a 23-byte carry; data plus descriptor that
// end the file exactly where a read ends must still be measured.
TEST(ZipList, DescriptorAtTheEndOfAnExactRead) {
  constexpr size_t kRead = 262144 - 23;
  for (size_t reads : {1u, 2u}) {
    for (Descriptor kind : {Descriptor::Plain, Descriptor::Signed, Descriptor::Zip64Plain}) {
      const size_t descriptor = kind == Descriptor::Plain ? 12 : kind == Descriptor::Signed ? 16 : 20;
      const ZipEntryFields s = Streamed(StoredEntry("s", Pattern(reads * kRead - descriptor, 7)), kind);
      SCOPED_TRACE(reads * 100 + descriptor);
      ExpectListing(ZipArchive({s}, false), {{"s", static_cast<int64_t>(s.data.size()), s.size,
                                           kStoredFlags | kStreamedFlags, static_cast<uint32_t>(descriptor)}});
    }
  }
}

TEST(DosTime, FieldsToFileTime) {
  struct Case {
    uint16_t date, time;
    bool valid;
    uint64_t unix;
  };
  const Case cases[] = {
      {0x0021, 0x0000, true, 315532800},            // 1980-01-01 00:00:00, the first DOS day
      {0x5264, 0x28A4, true, 1614834308},           // 2021-03-04 05:05:08
      {0x2859, 0xBF7D, true, 951523198},            // 2000-02-25 23:59:58
      {0x285D, 0x0000, true, 951782400},            // 2000-02-29: a leap day
      {0x2A5D, 0x0000, false, 0},                   // 2001-02-29
      {0xFF9F, 0xBF7D, true, 4354819198},           // 2107-12-31 23:59:58, the last one
      {0x0001, 0x0000, false, 0},                   // month 0
      {0x01A1, 0x0000, false, 0},                   // month 13
      {0x0020, 0x0000, false, 0},                   // day 0
      {0x009F, 0x0000, false, 0},                   // April 31
      {0x0021, 0xC000, false, 0},                   // hour 24
      {0x0021, 0x0780, false, 0},                   // minute 60
      {0x0021, 0x001E, false, 0},                   // second 60
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(uint32_t{c.date} * 65536u + c.time);
    uint64_t local = 0;
    EXPECT_EQ(DosDateTimeToFileTime(c.date, c.time, &local), c.valid);
    if (c.valid) {
      EXPECT_EQ(local, UnixToFileTime(c.unix));
    }
    EXPECT_EQ(DosTimeToUtc(c.date, c.time), c.valid ? UnixToFileTime(c.unix) : 0);  // TZ=UTC
  }
}
