// ZIP listing, test and extraction on archives built byte by byte: where members end, how
// they are named and flagged, where the walk stops, members only the central directory
// leads to, and the verdicts. Names, data and times extracted: Tools/ToolArchive; what a failing
// member leaves behind: Extract.OnlySoundMembersReplaceFiles.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/archive.h"
#include "core/filetime.h"
#include "deflate/crc32.h"
#include "support/archive_builder.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/deflate_writer.h"
#include "support/source_files.h"
#include "support/zip_builder.h"
#include "viewer/member_fetch.h"
#include "zip/dos_time.h"

namespace {
// method: checked when not -1.
struct Listed { std::string name; int64_t packed; uint64_t size; uint32_t attributes; uint32_t padding = 0; int method = -1; };

constexpr uint32_t kStoredFlags = 0x80000000;
constexpr uint32_t kDeflatedFlags = 0x80000800;
constexpr uint32_t kStreamedFlags = 0x10000000;

// What a listing of the archive reports; the listing itself must succeed.
std::vector<ListedMember> List(const Bytes& archive) {
  const Listing l = ListBytes(archive, "a.zip");
  EXPECT_EQ(l.result, kResultOk);
  return l.members;
}

const Bytes kHello = BytesOf("hello, world\n");
const Bytes kData = Pattern(5000);

struct ListCase { std::string what; Bytes archive; std::vector<Listed> listed; };

// Where the walk stops: records that close an archive end it as the central directory does.
void AddWalkEnds(std::vector<ListCase>& cases) {
  const std::vector<ZipEntryFields> two = {StoredEntry("a.txt", kHello), DeflatedEntry("b/c.bin", kData)};
  const int64_t deflated = static_cast<int64_t>(DeflatedEntry("", kData).data.size());
  const std::vector<Listed> both = {{"a.txt", 13, 13, kStoredFlags}, {"b/c.bin", deflated, 5000, kDeflatedFlags}};
  const Bytes marker = Le32Bytes(0x08074B50);
  const Bytes first = ZipArchive({two[0]}, false), second = ZipArchive({two[1]}, false);
  const Bytes open = ZipArchive(two, false);
  auto closed = [&](uint32_t signature) { return Joined({open, Le32Bytes(signature), Bytes(56, 0)}); };
  cases.insert(cases.end(), {
      {"central directory", ZipArchive(two), both},
      {"central directory cut off", open, both},
      {"marker before the first header", Joined({marker, first}), {both[0]}},
      {"marker before a later header ends the list", Joined({first, marker, second}), {both[0]}},
      {"garbage behind the members", Joined({open, BytesOf("not a header")}), both},
      {"ZIP64 end record", closed(0x06064B50), both},
      {"ZIP64 end locator", closed(0x07064B50), both},
      {"digital signature", closed(0x05054B50), both},
      {"archive extra data", closed(0x08064B50), both},
      {"file ends inside a header", Joined({first, Bytes(second.begin(), second.begin() + 20)}), {both[0]}},
      // The listing does not read data.
      {"file ends inside the data", Bytes(open.begin(), open.end() - 100), both},
      {"only the end record", ZipArchive({}), {}},
      {"empty file", Bytes(), {}},
  });
}

// Sizes in a ZIP64 record, or in none where the header defers to one.
void AddZip64Sizes(std::vector<ListCase>& cases) {
  ZipEntryFields big = StoredEntry("big", kHello);
  big.overrideHeaderSizes = true;
  big.headerCompressed32 = big.headerSize32 = 0xFFFFFFFF;
  ZipEntryFields withField = big;
  withField.extra = Joined({{0x0A, 0, 4, 0, 'x', 'x', 'x', 'x'}, Zip64Record(13, 13)});  // another record comes first
  ZipEntryFields without = big;
  without.extra = {0x0A, 0, 16, 0};
  without.extra.resize(20, 'x');
  ZipEntryFields huge = big;
  huge.extra = Zip64Record(13, 0xFFFFFFFFFFFFFFF0ull);  // would wrap the walk back
  const ZipEntryFields after = StoredEntry("after", kHello);
  cases.insert(cases.end(), {
      {"ZIP64 record", ZipArchive({withField, after}), {{"big", 13, 13, kStoredFlags}, {"after", 13, 13, kStoredFlags}}},
      {"ZIP64 record missing: listed with sizes 0, and last", ZipArchive({without, after}),
       {{"big", 0, 0, kStoredFlags | 0x20000000}}},
      {"ZIP64 sizes no file can have", ZipArchive({huge, after}), {{"big", 0, 0, kStoredFlags | 0x20000000}}},
  });
}

// Streamed members are measured by their descriptors.
void AddStreamed(std::vector<ListCase>& cases) {
  const ZipEntryFields after = StoredEntry("after", kHello);
  const Listed afterListed = {"after", 13, 13, kStoredFlags};
  // Data holding a header signature that no descriptor precedes.
  Bytes tricky = kData;
  const Bytes fake = Le32Bytes(0x04034B50), central = Le32Bytes(0x02014B50);
  std::copy(fake.begin(), fake.end(), tricky.begin() + 1000);
  std::copy(central.begin(), central.end(), tricky.begin() + 3000);
  const std::tuple<const char*, Descriptor, uint32_t> kinds[] = {{"plain", Descriptor::Plain, 12},
                                                                 {"signed", Descriptor::Signed, 16},
                                                                 {"ZIP64 plain", Descriptor::Zip64Plain, 20},
                                                                 {"ZIP64 signed", Descriptor::Zip64Signed, 24}};
  for (const auto& [kind, descriptor, length] : kinds) {
    const std::string name = std::string(kind) + " descriptor";
    const ZipEntryFields s = Streamed(DeflatedEntry("s", kData), descriptor);
    const Listed streamed = {"s", static_cast<int64_t>(s.data.size()), 5000, kDeflatedFlags | kStreamedFlags, length};
    const ZipEntryFields t = Streamed(StoredEntry("t", tricky), descriptor);
    cases.insert(cases.end(), {
        {name, ZipArchive({s, after}), {streamed, afterListed}},
        // Nothing behind the descriptor: the file's last bytes are it.
        {name + " ending the file", ZipArchive({s}, false), {streamed}},
        {name + " behind data holding signatures", ZipArchive({t, after}),
         {{"t", 5000, 5000, kStoredFlags | kStreamedFlags, length}, afterListed}},
    });
  }
  // A 32-bit descriptor behind a member that announced ZIP64 is taken too.
  ZipEntryFields mixed = Streamed(StoredEntry("m", kHello), Descriptor::Zip64Plain);
  mixed.descriptor = Descriptor::Signed;
  cases.push_back({"32-bit descriptor after ZIP64", ZipArchive({mixed, after}),
                   {{"m", 13, 13, kStoredFlags | kStreamedFlags, 16}, afterListed}});
  // No descriptor anywhere: listed with what was scanned, and last.
  const Bytes lost = ZipArchive({Streamed(StoredEntry("lost", kHello), Descriptor::None), after}, false);
  cases.push_back({"no descriptor", lost,
                   {{"lost", static_cast<int64_t>(lost.size()) - 34, 0, kStoredFlags | kStreamedFlags | 0x20000000}}});
  // The search reads 262121 bytes at a time behind a 23-byte carry; data plus descriptor that
  // end the file exactly where a read ends must still be measured.
  constexpr size_t kRead = 262144 - 23;
  for (size_t reads : {1u, 2u}) {
    for (const auto& [kind, descriptor, length] : kinds) {
      if (descriptor == Descriptor::Zip64Signed) continue;
      const ZipEntryFields s = Streamed(StoredEntry("s", Pattern(reads * kRead - length, 7)), descriptor);
      cases.push_back({std::string(kind) + " descriptor ending read " + std::to_string(reads), ZipArchive({s}, false),
                       {{"s", static_cast<int64_t>(s.data.size()), s.size, kStoredFlags | kStreamedFlags, length}}});
    }
  }
}

// Names as stored or made up, and the flags of methods and encryption.
void AddNamesAndFlags(std::vector<ListCase>& cases) {
  ZipEntryFields utf8 = StoredEntry("caf\xC3\xA9", kHello);
  utf8.flags = 0x0800;
  ZipEntryFields strong = DeflatedEntry("strong", kHello);
  strong.flags = 0x0041;
  ZipEntryFields bzip2 = StoredEntry("bz", kHello);
  bzip2.method = 12;
  const ZipEntryFields crypt = Encrypted(DeflatedEntry("crypt", kHello), "pw");
  ZipEntryFields deflate64 = StoredEntry("d64", kHello);
  deflate64.method = 9;
  // Only both sizes 0xFFFFFFFF defer to the ZIP64 record.
  ZipEntryFields oneSize = StoredEntry("big", kHello);
  oneSize.overrideHeaderSizes = true;
  oneSize.headerCompressed32 = 0xFFFFFFFF;
  oneSize.headerSize32 = 13;
  oneSize.extra = Zip64Record(13, 13);
  const std::string longName(300, 'n');
  const ZipEntryFields nameless = StoredEntry("", kHello);
  cases.insert(cases.end(), {
      {"names and flags",
       ZipArchive({nameless, StoredEntry(std::string("\0abc", 4), kHello), utf8, nameless, strong, bzip2, crypt, deflate64,
                   StoredEntry(longName, kHello)}),
       {{"file0", 13, 13, kStoredFlags},
        {"file1", 13, 13, kStoredFlags},
        {"caf\xC3\xA9", 13, 13, kStoredFlags | 0x40000000},
        {"file3", 13, 13, kStoredFlags},
        {"strong", static_cast<int64_t>(strong.data.size()), 13, 0x4800, 0, 0xFFFF},  // the method hidden
        {"bz", 13, 13, 0x800},
        {"crypt", static_cast<int64_t>(crypt.data.size()), 13, kDeflatedFlags | 0x4000},
        {"d64", 13, 13, kDeflatedFlags},
        {longName.substr(0, 256), 13, 13, kStoredFlags}}},
      {"one size of all ones is a size", ZipArchive({oneSize}), {{"big", 0xFFFFFFFF, 13, kStoredFlags}}},
  });
}

std::vector<ListCase> ListCases() {
  std::vector<ListCase> cases;
  AddWalkEnds(cases);
  AddZip64Sizes(cases);
  AddStreamed(cases);
  AddNamesAndFlags(cases);
  return cases;
}

class ZipListing : public testing::TestWithParam<ListCase> {};

TEST_P(ZipListing, MembersAndWhereTheyEnd) {
  const std::vector<ListedMember> got = List(GetParam().archive);
  const std::vector<Listed>& expect = GetParam().listed;
  ASSERT_EQ(got.size(), expect.size());
  for (size_t i = 0; i < expect.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(NameOf(got[i].entry), expect[i].name);
    EXPECT_EQ(got[i].entry.packedSize, expect[i].packed);
    EXPECT_EQ(got[i].entry.size, expect[i].size);
    EXPECT_EQ(got[i].entry.attributes, expect[i].attributes);
    EXPECT_EQ(got[i].entry.padding, expect[i].padding);
    if (expect[i].method >= 0) {
      EXPECT_EQ(got[i].entry.method, expect[i].method);
    }
  }
}
INSTANTIATE_TEST_SUITE_P(ZipList, ZipListing, testing::ValuesIn(ListCases()), CaseName());
}  // namespace

TEST(ZipList, OffsetsAndTime) {
  const Bytes rest = ZipArchive({StoredEntry("a.txt", kHello), StoredEntry("b.txt", kHello)});
  std::vector<ListedMember> got = List(Joined({Le32Bytes(0x30304B50), rest}));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].offset, 0u);
  EXPECT_EQ(got[0].entry.signature, 0x30304B50u);  // the marker it skipped
  EXPECT_EQ(got[1].offset, 4u + 30 + 5 + 13);
  EXPECT_EQ(got[1].entry.signature, 0x04034B50u);
  EXPECT_EQ(got[0].entry.modified, UnixToFileTime(1614834308));  // 2021-03-04 05:05:08, TZ=UTC
}

TEST(DosTime, FieldsToFileTime) {
  struct Case { uint16_t date, time; bool valid; uint64_t unix; };
  const Case cases[] = {
      {0x0021, 0x0000, true, 315532800},   // 1980-01-01 00:00:00, the first DOS day
      {0x5264, 0x28A4, true, 1614834308},  // 2021-03-04 05:05:08
      {0x285D, 0x0000, true, 951782400},   // 2000-02-29: a leap day
      {0xFF9F, 0xBF7D, true, 4354819198},  // 2107-12-31 23:59:58, the last one
      // 2001-02-29, month 0, month 13, day 0, April 31, hour 24, minute 60, second 60
      {0x2A5D, 0, false, 0}, {0x0001, 0, false, 0}, {0x01A1, 0, false, 0}, {0x0020, 0, false, 0},
      {0x009F, 0, false, 0}, {0x0021, 0xC000, false, 0}, {0x0021, 0x0780, false, 0}, {0x0021, 0x001E, false, 0},
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

// How ZIP member names become text: the UTF-8 flag, Info-ZIP's Unicode Path field, bare
// UTF-8, and the OEM code page (437 here and under Wine) for everything else.
namespace {
// The Unicode Path field: version, the CRC-32 of the stored name it stands for, the name.
Bytes UnicodePath(const std::string& utf8, const std::string& storedName, uint8_t version = 1) {
  const Bytes stored = BytesOf(storedName);
  const auto size = static_cast<uint8_t>(5 + utf8.size());
  return Joined({{0x75, 0x70, size, 0, version}, Le32Bytes(Crc32Update(0, stored.data(), stored.size())), BytesOf(utf8)});
}

struct NameCase { const char* what; std::string stored; uint16_t flags; Bytes extra; std::string shown; };  // shown: UTF-8

class ZipNames : public testing::TestWithParam<NameCase> {};

TEST_P(ZipNames, ShowTheNameItsWriterMeant) {
  const NameCase& c = GetParam();
  ZipEntryFields entry = StoredEntry(c.stored, BytesOf("x"));
  entry.flags = c.flags;
  entry.extra = c.extra;
  const Listing l = ListBytes(ZipArchive({entry}), "a.zip");
  ASSERT_EQ(l.members.size(), 1u);
  EXPECT_EQ(l.members[0].name, c.shown);
}

const std::string kGrusseUtf8 = "Gr\xC3\xBC\xC3\x9F" "e.txt";
const NameCase kNameCases[] = {
    {"flagged UTF-8", kGrusseUtf8, 0x0800, {}, kGrusseUtf8},
    {"Unicode Path field over an old name", "GRUSSE.TXT", 0, UnicodePath(kGrusseUtf8, "GRUSSE.TXT"), kGrusseUtf8},
    {"Unicode Path field left stale by a rename", "GRUSSE.TXT", 0, UnicodePath(kGrusseUtf8, "OTHER.TXT"), "GRUSSE.TXT"},
    {"Unicode Path field of an unknown version", "GRUSSE.TXT", 0, UnicodePath(kGrusseUtf8, "GRUSSE.TXT", 2), "GRUSSE.TXT"},
    {"flag outranks the field", kGrusseUtf8, 0x0800, UnicodePath("other", kGrusseUtf8), kGrusseUtf8},
    {"unflagged UTF-8 as Info-ZIP writes it on Linux", kGrusseUtf8, 0, {}, kGrusseUtf8},
    {"code page 437 as Windows writes it", "Gr\x81\xE1" "e.txt", 0, {}, kGrusseUtf8},
    {"code page 437 box drawing", "\xC9\xCD\xBB", 0, {}, "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97"},
    {"ill-formed flagged UTF-8", "\xC0\xAE\xC0\xAE/x", 0x0800, {}, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD/x"},
};
INSTANTIATE_TEST_SUITE_P(Zip, ZipNames, testing::ValuesIn(kNameCases), CaseName());

// ZIP archives whose members only the central directory leads to (a program in front of
// them, padding between them), built byte by byte: detected, listed, tested, extracted and
// viewed by member index, while a directory that disagrees with the walk is not trusted.
const Bytes kText = BytesOf("the stub in front is a program\n");
const Bytes kBigData = Pattern(70000, 9);
const Bytes kSmall = BytesOf("small");

// A program's worth of bytes, with a stray local header signature that no walk may take.
Bytes Stub() {
  Bytes stub = Joined({BytesOf("MZ\x90"), Pattern(3000, 4)});
  const Bytes fake = Le32Bytes(0x04034B50);
  std::copy(fake.begin(), fake.end(), stub.begin() + 1200);
  return stub;
}

std::vector<ZipEntryFields> Members() {
  return {StoredEntry("a.txt", kText), DeflatedEntry("b/c.bin", kBigData), StoredEntry("d.txt", kSmall)};
}

// An entry whose header leaves both sizes to a ZIP64 record it does not carry.
ZipEntryFields WithoutZip64Record(ZipEntryFields s) {
  s.overrideHeaderSizes = true;
  s.headerCompressed32 = s.headerSize32 = 0xFFFFFFFF;
  return s;
}

// listed: the entries in the order listed.
struct DirectoryCase { const char* what; std::vector<ZipEntryFields> entries; ZipLayout layout; const char* file; std::vector<size_t> listed; ResultCode tested; };

std::vector<DirectoryCase> DirectoryCases() {
  const std::vector<ZipEntryFields> three = Members();
  const Bytes stub = Stub();
  const std::vector<Bytes> padded = {{}, Bytes(64, 0), BytesOf("junk between members")};
  std::vector<ZipEntryFields> streamed = three;
  streamed[1] = Streamed(streamed[1], Descriptor::Signed);
  // Sizes in the directory only: the descriptor the flag promises is not there at all.
  std::vector<ZipEntryFields> noDescriptor = three;
  noDescriptor[2] = Streamed(noDescriptor[2], Descriptor::None);
  std::vector<ZipEntryFields> wide = three;
  wide[1] = Streamed(wide[1], Descriptor::Zip64Signed);
  wide[2] = WithoutZip64Record(wide[2]);
  return {
      {"ordinary archive", three, ZipLayout{}, "a.zip", {0, 1, 2}, kResultOk},
      {"stub with offsets counted in", three, ZipLayout{.stub = stub}, "a.exe", {0, 1, 2}, kResultOk},
      {"stub with offsets left as they were", three, ZipLayout{.stub = stub, .stubCounted = false}, "a.exe", {0, 1, 2}, kResultOk},
      {"stub in a file named zip", three, ZipLayout{.stub = stub, .stubCounted = false}, "a.zip", {0, 1, 2}, kResultOk},
      {"padding between members", three, ZipLayout{.gaps = padded}, "a.zip", {0, 1, 2}, kResultOk},
      {"streamed member behind padding", streamed, ZipLayout{.gaps = padded}, "a.zip", {0, 1, 2}, kResultOk},
      {"streamed member without its descriptor", noDescriptor, ZipLayout{.gaps = padded}, "a.zip", {0, 1, 2}, kResultOk},
      {"ZIP64 directory behind a stub", wide, ZipLayout{.stub = stub, .stubCounted = false, .zip64 = true}, "a.exe", {0, 1, 2}, kResultOk},
      {"ZIP64 directory with padding", wide, ZipLayout{.stub = stub, .gaps = padded, .zip64 = true}, "a.exe", {0, 1, 2}, kResultOk},
      {"directory in another order", three, ZipLayout{.stub = stub, .stubCounted = false, .order = {2, 0, 1}}, "a.exe", {2, 0, 1}, kResultOk},
      {"directory points beside a member", three, ZipLayout{.gaps = padded, .offsetErrors = {{2, 1}}}, "a.zip", {0, 1}, kResultFormat},
      {"directory disagrees with the walk", three, ZipLayout{.gaps = padded, .offsetErrors = {{0, 100}}}, "a.zip", {0}, kResultFormat},
  };
}

using ZipDirectoryMembers = testing::TestWithParam<DirectoryCase>;

TEST_P(ZipDirectoryMembers, ListTestExtractAndView) {
  const DirectoryCase& c = GetParam();
  const Bytes archive = ZipWithDirectory(c.entries, c.layout);
  ScratchDir dir;
  const std::filesystem::path path = dir.Path(c.file);
  WriteBytes(path, archive);
  std::vector<std::u16string> names;
  {
    ListingContext l(path);
    ASSERT_EQ(l.Open(), kResultOk);
    ASSERT_EQ(l.members.size(), c.listed.size());
    for (size_t i = 0; i < c.listed.size(); ++i) {
      SCOPED_TRACE(i);
      const ZipEntryFields& e = c.entries[c.listed[i]];
      const ListedMember& m = l.members[i];
      EXPECT_EQ(m.index, i);
      EXPECT_EQ(m.name, e.name);
      EXPECT_EQ(m.entry.size, e.size);
      EXPECT_EQ(m.entry.packedSize, static_cast<int64_t>(e.data.size()));
      EXPECT_EQ(m.entry.checksum, e.crc);
      // The offset table holds the member's local header, its name behind the fixed part.
      ASSERT_LT(m.offset + 30 + e.name.size(), archive.size());
      EXPECT_EQ(Bytes(archive.begin() + m.offset, archive.begin() + m.offset + 4), Le32Bytes(0x04034B50));
      EXPECT_EQ(std::string(archive.begin() + m.offset + 30, archive.begin() + m.offset + 30 + e.name.size()), e.name);
      // The viewer finds the stored bytes by the same index.
      PrepareMemberView(&l.context, m.entry.packedSize);
      PageBuffer page;
      EXPECT_EQ(ReadMemberData(&l.context, m.index, 0, &page, false), kResultOk);
      EXPECT_TRUE(std::equal(page.bytes.begin(), page.bytes.begin() + page.length, e.data.begin(),
                             e.data.begin() + std::min<size_t>(e.data.size(), 262144)));
      EXPECT_EQ(ReadMemberHeader(&l.context, m.index, &page), kResultOk);
      EXPECT_TRUE(std::equal(page.bytes.begin(), page.bytes.begin() + page.length, archive.begin() + m.offset,
                             archive.begin() + m.offset + 30 + e.name.size() + e.extra.size()));
      names.push_back(std::u16string(m.name.begin(), m.name.end()));
    }
  }
  EXPECT_EQ(WalkArchive(path, dir.Path("test"), {}), c.tested);
  std::vector<std::u16string> offered;
  ASSERT_EQ(WalkArchive(path, dir.Path("out"), kExtract, &offered), kResultOk);
  EXPECT_EQ(offered, names);
  const std::map<std::string, Bytes> contents = {{"a.txt", kText}, {"b/c.bin", kBigData}, {"d.txt", kSmall}};
  for (size_t i : c.listed) {
    const std::string& name = c.entries[i].name;
    EXPECT_EQ(ReadBytes(dir.Path("out") / name), contents.at(name)) << name;
  }
}
INSTANTIATE_TEST_SUITE_P(ZipDirectory, ZipDirectoryMembers, testing::ValuesIn(DirectoryCases()), CaseName());

struct DetectCase { const char* what; Bytes bytes; const char* file; ResultCode opened; FormatKind format; };

std::vector<DetectCase> DetectCases() {
  const Bytes stub = Stub();
  const Bytes zip = ZipWithDirectory(Members(), ZipLayout{});
  const Bytes stubbed = ZipWithDirectory(Members(), ZipLayout{.stub = stub, .stubCounted = false});
  Bytes commented = stubbed;  // an archive comment holding a false end record
  commented[commented.size() - 2] = 30;
  commented.insert(commented.end(), {'P', 'K', 5, 6});
  commented.resize(commented.size() + 26, 0);
  Bytes lostDirectory = stubbed;  // the end record points at no central header
  lostDirectory[lostDirectory.size() - 6] ^= 0x40;
  lostDirectory[lostDirectory.size() - 10] ^= 0x40;
  Bytes gz = GzMember({.content = BytesOf("gzip first"), .name = "g.txt"});
  const Bytes qbx = QbxBytes({{"q.txt", BytesOf("qbx first")}});
  const Bytes tar = Joined({TarMember({"inner.zip", zip.size()}, zip), Bytes(1024, 0)});
  const Bytes zipLast = Cut(tar, 512 + zip.size());  // cut right behind its ZIP member: it ends in the ZIP's end record
  return {
      {"comment that holds an end record", commented, "a.exe", kResultOk, kFormatZip},
      {"stub and no directory", Joined({stub, ZipArchive(Members(), false)}), "a.exe", kResultNotArchive, kFormatNone},
      {"bytes behind the end record", Joined({stubbed, BytesOf("tail")}), "a.exe", kResultNotArchive, kFormatNone},
      {"directory not where the end record says", lostDirectory, "a.exe", kResultNotArchive, kFormatNone},
      {"only an end record", Joined({stub, ZipArchive({})}), "a.exe", kResultNotArchive, kFormatNone},
      {"gzip file with a ZIP behind it", Joined({gz, zip}), "a.bin", kResultOk, kFormatGz},
      {"QBX archive with a ZIP behind it", Joined({qbx, zip}), "a.bin", kResultOk, kFormatQbx},
      {"TAR holding a ZIP", tar, "a.tar", kResultOk, kFormatTar},
      {"TAR holding a ZIP, no extension", tar, "a.bin", kResultNotArchive, kFormatNone},
      {"TAR cut behind its ZIP member", zipLast, "a.tar", kResultOk, kFormatTar},
  };
}

using ZipDirectoryDetection = testing::TestWithParam<DetectCase>;
TEST_P(ZipDirectoryDetection, FormatOfTheFile) {
  const Listing l = ListBytes(GetParam().bytes, GetParam().file);
  EXPECT_EQ(l.result, GetParam().opened);
  EXPECT_EQ(l.format, GetParam().format);
}
INSTANTIATE_TEST_SUITE_P(ZipDirectory, ZipDirectoryDetection, testing::ValuesIn(DetectCases()), CaseName());

// ---- Verdicts of test and extraction, each walked alone and with members decoded ahead.

const Bytes kRunText = BytesOf("the quick brown fox jumps over the lazy dog\n");
const Bytes kRunData = Pattern(70000, 3);

// A member of that content whose data are the given raw stream.
ZipEntryFields Raw(const std::string& name, const Bytes& content, const Bytes& stream, uint16_t method = 8) {
  ZipEntryFields s = StoredEntry(name, content);
  s.data = stream;
  s.method = method;
  return s;
}

// A Deflate64 stream whose match reaches 40000 bytes back: Deflate cannot express it.
ZipEntryFields FarMatch(uint16_t method) {
  const Bytes head = Pattern(40000, 5);
  BitWriter w;
  StoredBlocks(w, head, false);
  BlockStart(w, true, 1);
  FixedSymbol(w, 264);                  // length 10
  FixedDistance(w, 30);                 // 32769 + 14 extra bits
  w.Bits(40000 - 32769, 14);
  FixedSymbol(w, 256);
  return Raw("far", Joined({head, Cut(head, 10)}), w.bytes, method);
}

ZipEntryFields Damaged(ZipEntryFields s, size_t at) {
  s.data[at] ^= 0x10;
  return s;
}

ZipEntryFields Declared(ZipEntryFields s, uint64_t size) {
  s.size = size;
  return s;
}

// absent: a member whose file must not be there afterwards.
struct Verdict { const char* what; Bytes archive; WalkOptions fields; ResultCode expected; std::string absent = ""; };
constexpr uint32_t kWorkerCounts[] = {0, 2};

// The prompt's answer: the password the members were encrypted with, typed as the first one
// is offered after the walk began with another (members decoded ahead with the old one must
// be decoded again).
void TypeRightPassword(ArchiveContext* context) {
  static char typed[] = "pw";
  context->password = reinterpret_cast<uint8_t*>(typed);
}

std::vector<Verdict> Verdicts() {
  const ZipEntryFields stored = StoredEntry("stored", kRunText);
  const ZipEntryFields deflated = DeflatedEntry("deflated", kRunData);
  const ZipEntryFields streamed = Streamed(DeflatedEntry("streamed", kRunData), Descriptor::Signed);
  const ZipEntryFields streamed64 = Streamed(StoredEntry("streamed64", kRunText), Descriptor::Zip64Plain);
  ZipEntryFields bzip2 = StoredEntry("bzip2", kRunText);
  bzip2.method = 12;
  ZipEntryFields strong = DeflatedEntry("strong", kRunText);
  strong.flags = 0x41;
  ZipEntryFields shortCrypt = Encrypted(StoredEntry("short", {}), "pw");
  shortCrypt.data.resize(5);
  const Bytes garbage = Joined({ZipArchive({stored, deflated}, false), BytesOf("garbage!")});
  const Bytes zip64End = Joined({ZipArchive({stored}, false), Le32Bytes(0x06064B50), Bytes(52, 0)});
  const Bytes extraData = Joined({ZipArchive({stored}, false), Le32Bytes(0x08064B50), Bytes(52, 0)});
  const Bytes open = ZipArchive({stored, deflated}, false), cut = Cut(open, open.size() - 100);
  // A member is never written past the size it declares: a Deflate bomb or a stored member
  // that lies about its size stops there and leaves no file. Smaller than declared, the
  // stream ends early and the size check behind it says so.
  const Bytes mib(1 << 20, 'z');
  const Bytes bomb = ZipArchive({Declared(DeflatedEntry("m", mib), 100)});
  const Bytes storedBomb = ZipArchive({Declared(StoredEntry("m", mib), 100)});
  const Bytes oneShort = ZipArchive({Declared(DeflatedEntry("m", mib), mib.size() - 1)});
  const Bytes oneOver = ZipArchive({Declared(DeflatedEntry("m", mib), mib.size() + 1)});
  // The chunk loop: three input chunks and two output blocks; surplus behind the stream, a
  // whole chunk of it; one chunk giving many output blocks (258-byte matches of one byte).
  const ZipEntryFields chunks = DeflatedEntry("chunks", RandomBytes(700000, 11));
  ZipEntryFields surplus = chunks;
  surplus.data.resize(surplus.data.size() + 300000, 0xEE);
  BitWriter matches;
  BlockStart(matches, true, 1);
  FixedSymbol(matches, 'q');
  for (int i = 0; i < 8000; i++) FixedSymbol(matches, 285), FixedDistance(matches, 0);
  FixedSymbol(matches, 256);
  // Stored blocks ending exactly at the first chunk's end, then one byte that starts
  // another block: the last chunk gives no output, yet the stream is unfinished.
  BitWriter unfinished;
  StoredBlocks(unfinished, Bytes(kIoBufferSize - 4 * 5, 'z'), false);  // four blocks
  unfinished.Raw(Hex("02"));
  ZipEntryFields cutStream = chunks;
  cutStream.data.resize(cutStream.data.size() - 3);
  return {
      {"sound members", ZipArchive({stored, deflated, streamed, streamed64, FarMatch(9)}), {}, kResultOk},
      {"only the end record", ZipArchive({}), {}, kResultOk},
      {"ZIP64 end record behind the members", zip64End, {}, kResultOk},
      {"archive extra data behind the members", extraData, {}, kResultOk},
      {"changed data byte", ZipArchive({stored, Damaged(deflated, 3000)}), {}, kResultChecksum},
      {"changed block header", ZipArchive({stored, Damaged(deflated, 2)}), {}, kResultFormat},
      {"changed byte of a streamed member", ZipArchive({Damaged(streamed, 3000)}), {}, kResultFormat},
      {"Deflate cannot reach 40000 back", ZipArchive({FarMatch(8)}), {}, kResultFormat},
      {"stored blocks across chunks and output blocks", ZipArchive({chunks}), {}, kResultOk},
      {"surplus behind the stream", ZipArchive({surplus}), {}, kResultOk},
      {"one chunk giving many output blocks", ZipArchive({Raw("q", Bytes(1 + 8000 * 258, 'q'), matches.bytes)}), {}, kResultOk},
      {"deflated member without data", ZipArchive({Raw("nothing", {}, {})}), {}, kResultOk},
      {"stream cut short", ZipArchive({cutStream}), {}, kResultFormat},
      {"unfinished in a chunk without output", ZipArchive({Raw("u", Bytes(kIoBufferSize - 4 * 5, 'z'), unfinished.bytes)}), {}, kResultFormat},
      {"right password", ZipArchive({Encrypted(stored, "pw"), Encrypted(chunks, "pw")}), {1, "pw", {}}, kResultOk},
      {"invalid data after decryption", ZipArchive({Encrypted(Raw("bad", {}, Hex("07")), "pw")}), {1, "pw", {}}, kResultPassword},
      {"password typed as the first member is offered",
       ZipArchive({Encrypted(deflated, "pw"), Encrypted(DeflatedEntry("second", kRunData), "pw")}),
       {1, "pW", {}, nullptr, 0, TypeRightPassword}, kResultOk},
      {"stub in front, members through the directory", ZipWithDirectory({stored, deflated}, {.stub = BytesOf("MZ stub")}),
       {}, kResultOk},
      {"wrong password, stored", ZipArchive({Encrypted(stored, "pw")}), {1, "pW", {}}, kResultPassword},
      {"wrong password, deflated", ZipArchive({Encrypted(deflated, "pw")}), {1, "pW", {}}, kResultPassword},
      {"no password given", ZipArchive({Encrypted(deflated, "pw")}), {}, kResultPassword},
      {"empty encrypted member opens with any password", ZipArchive({Encrypted(StoredEntry("e", {}), "pw")}), {1, "x", {}}, kResultOk},
      {"encrypted member shorter than its header", ZipArchive({shortCrypt}), {1, "pw", {}}, kResultFormat},
      {"BZip2 member selected", ZipArchive({stored, bzip2, deflated}), {}, kResultUnsupportedMethod},
      {"BZip2 member passed over", ZipArchive({stored, bzip2, deflated}), {1, nullptr, {u"bzip2"}}, kResultOk},
      {"strong encryption selected", ZipArchive({strong}), {}, kResultUnsupportedMethod},
      {"garbage behind the last member", garbage, {}, kResultFormat},
      {"no central directory", ZipArchive({stored, deflated}, false), {}, kResultFormat},
      {"garbage behind the last member, extracting", garbage, kExtract, kResultOk},
      {"descriptor not found", ZipArchive({Streamed(StoredEntry("lost", kRunText), Descriptor::None)}), {}, kResultFormat},
      {"data cut short", cut, {}, kResultUnexpectedEnd},
      {"deflated member larger than declared", bomb, {}, kResultFormat},
      {"deflated member larger than declared, extracting", bomb, kExtract, kResultFormat, "m"},
      {"stored member larger than declared", storedBomb, {}, kResultFormat},
      {"stored member larger than declared, extracting", storedBomb, kExtract, kResultFormat, "m"},
      {"declared one byte short", oneShort, {}, kResultFormat},
      {"declared one byte short, extracting", oneShort, kExtract, kResultFormat, "m"},
      {"deflated member smaller than declared", oneOver, {}, kResultChecksum},
      {"deflated member smaller than declared, extracting", oneOver, kExtract, kResultChecksum, "m"},
  };
}

using ZipVerdict = testing::TestWithParam<Verdict>;
TEST_P(ZipVerdict, EndsWithItsResult) {
  for (uint32_t workers : kWorkerCounts) {
    SCOPED_TRACE(workers);
    ScratchDir dir;
    WriteBytes(dir.Path("a.zip"), GetParam().archive);
    WalkOptions fields = GetParam().fields;
    fields.workers = workers;
    EXPECT_EQ(WalkArchive(dir.Path("a.zip"), dir.Path("out"), fields), GetParam().expected);
    if (!GetParam().absent.empty()) {
      EXPECT_FALSE(std::filesystem::exists(dir.Path("out") / GetParam().absent));
    }
  }
}
INSTANTIATE_TEST_SUITE_P(ZipRun, ZipVerdict, testing::ValuesIn(Verdicts()), CaseName());

// Members decoded ahead in batches that go round the work ring several times: the walk
// offers the same members in the same order as alone and stops at the same damaged one,
// having extracted exactly those in front of it.
TEST(ZipRunAhead, StopsAtTheSameMemberAsTheWalkAlone) {
  constexpr size_t kCount = 300, kDamaged = 230;
  std::vector<ZipEntryFields> entries;
  for (size_t i = 0; i < kCount; ++i) entries.push_back(DeflatedEntry("m" + std::to_string(i), Pattern(3000 + i, 7)));
  entries[kDamaged] = Damaged(entries[kDamaged], 1500);
  const Bytes archive = ZipArchive(entries);
  for (uint32_t testFlag : {1u, 0u}) {
    std::vector<std::u16string> offered[2];
    for (uint32_t workers : kWorkerCounts) {
      SCOPED_TRACE(testing::Message() << "test " << testFlag << ", workers " << workers);
      ScratchDir dir;
      WriteBytes(dir.Path("a.zip"), archive);
      WalkOptions walk{testFlag, nullptr, {}};
      walk.workers = workers;
      EXPECT_EQ(WalkArchive(dir.Path("a.zip"), dir.Path("out"), walk, &offered[workers != 0]), kResultChecksum);
      if (testFlag == 1) continue;
      EXPECT_EQ(ReadBytes(dir.Path("out/m229")), Pattern(3229, 7));
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path("out")), {}), kDamaged);
    }
    EXPECT_EQ(offered[1], offered[0]);
    EXPECT_EQ(offered[0].size(), kDamaged + 1);
  }
}

}  // namespace
