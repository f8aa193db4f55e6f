// GZ files built byte by byte: header fields, names, members one after another, and the
// verdicts of test and extraction.
#include <gtest/gtest.h>

#include <cstring>

#include "core/archive.h"
#include "core/filetime.h"
#include "gz/gz.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace {
const Bytes kText = BytesOf("gzip member text\n");
const Bytes kData = Pattern(300000, 9);  // more than one 256 KiB read
const Bytes kOne = GzMember(Gz(kText, "t")), kTwo = GzMember(Gz(kData));

// Headers the listing refuses are among the test verdicts below.
struct ListCase {
  const char* what;
  Bytes bytes;
  std::string name;  // as shown, in UTF-8
  uint16_t method = 8;
  int64_t packed = static_cast<int64_t>(kText.size()) + 5;
  uint64_t size = kText.size();
};
const ListCase kListings[] = {
    {"stored name", GzMember(Gz(kText, "report.txt")), "report.txt"},
    {"long name whole", GzMember(Gz(kText, std::string(300, 'z'))), std::string(300, 'z')},
    {"Latin-1 name", GzMember(Gz(kText, "caf\xE9.txt")), "caf\xC3\xA9.txt"},
    {"UTF-8 name", GzMember(Gz(kText, "caf\xC3\xA9.txt")), "caf\xC3\xA9.txt"},
    {"extra field and comment",
     GzMember({.content = kText, .name = "after-extra.txt", .comment = "a comment", .extra = {'A', 'B', 4, 0, 'w', 'x', 'y', 'z'}}),
     "after-extra.txt"},
    {"header CRC right", GzMember({.content = kText, .name = "crc", .headerCrc = true}), "crc"},
    {"method 9", GzMember({.content = kText, .name = "m", .method = 9}), "m", 256},
    {"only the header, named after the file", Cut(GzMember(Gz(kText)), 10), "head", 8, 0, 0},
    {"members one after another: the last trailer gives the size", Joined({kOne, kTwo}), "t", 8,
     static_cast<int64_t>(kOne.size() + kTwo.size()) - 10 - 2 - 8, kData.size()},
};
class GzList : public testing::TestWithParam<ListCase> {};

TEST_P(GzList, HeaderFieldsAndNames) {
  const ListCase& c = GetParam();
  const Listing l = ListBytes(c.bytes, "head.gz");
  ASSERT_EQ(l.result, kResultOk);
  ASSERT_EQ(l.members.size(), 1u);
  const EntryRecord& e = l.members[0].entry;
  EXPECT_EQ(l.members[0].name, c.name);
  EXPECT_EQ(e.method, c.method);
  EXPECT_EQ(e.packedSize, c.packed);
  EXPECT_EQ(e.size, c.size);
  EXPECT_EQ(e.signature, 0x8B1Fu);
}
INSTANTIATE_TEST_SUITE_P(Gz, GzList, testing::ValuesIn(kListings), CaseName());

struct VerdictCase { const char* what; Bytes file; ResultCode expected; std::vector<std::u16string> skip = {}; };
const Bytes kReserved = GzMember({.content = kText, .extraFlags = 0x40}), kMethod9 = GzMember({.content = kText, .method = 9});
const VerdictCase kVerdicts[] = {
    {"not gzip", BytesOf("PK not gzip at all"), kResultNotArchive},
    {"header CRC wrong", GzMember({.content = kText, .name = "crc", .headerCrc = true, .headerCrcDelta = 1}), kResultChecksum},
    {"first member's header has a reserved flag", kReserved, kResultFormat},
    {"file ends inside the name", Cut(kOne, 11), kResultUnexpectedEnd},
    {"members one after another", Joined({kOne, kTwo, kOne}), kResultOk},
    {"second member's CRC-32 wrong", Joined({kOne, GzMember({.content = kData, .crcDelta = 1})}), kResultChecksum},
    {"first member's length wrong", Joined({GzMember({.content = kText, .sizeDelta = 1}), kTwo}), kResultChecksum},
    {"zero padding behind", Joined({kOne, Bytes(5000, 0)}), kResultOk},
    {"stray bytes behind", Joined({kOne, BytesOf("junk")}), kResultFormat},
    {"zeros then stray bytes behind", Joined({kOne, Bytes(300000, 0), BytesOf("x")}), kResultFormat},
    {"half a magic behind", Joined({kOne, Bytes{0x1F}}), kResultFormat},
    {"stream cut short", Cut(kTwo, kTwo.size() - 5000), kResultFormat},
    {"trailer cut short", Cut(kOne, kOne.size() - 4), kResultUnexpectedEnd},
    // Bytes between the stream's end and the trailer at the file's end.
    {"bytes between stream and trailer", Joined({Cut(kOne, kOne.size() - 8), {1, 2, 3}, Bytes(kOne.end() - 8, kOne.end())}),
     kResultChecksum},
    {"only the header", Cut(kOne, 12), kResultUnexpectedEnd},
    {"method 9", kMethod9, kResultUnsupportedMethod},
    {"method 9 passed over", kMethod9, kResultOk, {u"a"}},
    {"second member's header has a reserved flag", Joined({kOne, kReserved}), kResultFormat},
    {"second member has method 9", Joined({kOne, kMethod9}), kResultUnsupportedMethod},
    {"second member's header cut", Joined({kOne, Cut(kTwo, 6)}), kResultUnexpectedEnd},
};
class GzVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(GzVerdict, OfTheTest) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.gz"), GetParam().file);
  EXPECT_EQ(WalkArchive(dir.Path("a.gz"), dir.Path("out"), {1, nullptr, GetParam().skip}), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Gz, GzVerdict, testing::ValuesIn(kVerdicts), CaseName());

// Names are UTF-8; an old file is replaced only by a sound member.
TEST(GzRun, ExtractionWritesEveryMembersData) {
  const Bytes first = GzMember({.content = kText, .name = "caf\xC3\xA9.txt", .mtime = 1600000000});
  struct Case { const char* what; Bytes file; ResultCode result; Bytes content; };
  const Case cases[] = {
      {"members one after another", Joined({first, kTwo, Bytes(100, 0)}), kResultOk, Joined({kText, kData})},
      {"stray bytes behind fail as the test does", Joined({first, BytesOf("junk")}), kResultFormat, BytesOf("old file")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const std::filesystem::path path = dir.root / "out" / u"caf\u00E9.txt";
    std::filesystem::create_directories(path.parent_path());
    WriteBytes(path, BytesOf("old file"));
    WriteBytes(dir.Path("a.gz"), c.file);
    ASSERT_EQ(WalkArchive(dir.Path("a.gz"), dir.Path("out"), kExtract), c.result);
    EXPECT_EQ(ReadBytes(path), c.content);
    if (c.result == kResultOk) {
      EXPECT_EQ(FileTimeOf(path), UnixToFileTime(1600000000));
    }
  }
}

TEST(GzDefaultName, FromTheArchivePath) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"backup.gz", "backup"},       {u"/data/site.tar.gz", "site.tar"}, {u"C:\\x\\pkg.TGZ", "pkg.tar"},
      {u"x.gzip", "x"},               {u"no-dot", "no-dot"},              {u"C:\\old.files\\data", "data"},
      {u"a/b\\c.gz", "c"},            {u".gz", "file"},                   {u"dir/", "file"},
      {u"\u00E9t\u00E9.gz", "\xC3\xA9t\xC3\xA9"},
  };
  for (const auto& [path, expected] : cases) {
    uint8_t buffer[kGzDefaultNameSize];
    std::memset(buffer, 0xEE, sizeof buffer);
    const uint32_t length = GzDefaultName(path.c_str(), buffer);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), expected);
    EXPECT_EQ(buffer[length], 0);
  }
}

// A member that grows while the destination runs out of room stops with a reserve still
// free, and its partial file goes: a bomb cannot fill the disk.
TEST(GzRun, StopsBeforeTheDestinationIsFull) {
  ScratchDir dir;
  WriteBytes(dir.Path("big.gz"), GzMember(Gz(Bytes(3 * 524288, 'g'), "big")));
  WalkOptions extract = kExtract;
  extract.prepare = [](ArchiveContext*) { ArmFault(kFaultVolumeFull, 2); };
  EXPECT_EQ(WalkArchive(dir.Path("big.gz"), dir.Path("out"), extract), kResultWrite);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path("out")));
  extract.prepare = nullptr;
  EXPECT_EQ(WalkArchive(dir.Path("big.gz"), dir.Path("out"), extract), kResultOk);
}
}  // namespace
