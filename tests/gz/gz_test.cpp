// GZ files built byte by byte (header fields, names, members one after another, and the
// verdicts of test and extraction), and TARs inside gzip made by the tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "core/archive.h"
#include "core/filetime.h"
#include "gz/gz.h"
#include "gz/gz_stream.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "support/view_pages.h"
#include "support/zip_builder.h"

namespace {
const Bytes kText = BytesOf("gzip member text\n");
const Bytes kData = Pattern(300000, 9);  // more than one 256 KiB read
const Bytes kOne = GzMember({.content = kText, .name = "t"}), kTwo = GzMember({.content = kData});

// Headers the listing refuses are among the test verdicts below.
struct ListCase {  // name: as shown, in UTF-8
  const char* what; Bytes bytes; std::string name;
  uint16_t method = 8; int64_t packed = static_cast<int64_t>(kText.size()) + 5; uint64_t size = kText.size();
};
const ListCase kListings[] = {
    {"stored name", GzMember({.content = kText, .name = "report.txt"}), "report.txt"},
    {"long name whole", GzMember({.content = kText, .name = std::string(300, 'z')}), std::string(300, 'z')},
    {"Latin-1 name", GzMember({.content = kText, .name = "caf\xE9.txt"}), "caf\xC3\xA9.txt"},
    {"UTF-8 name", GzMember({.content = kText, .name = "caf\xC3\xA9.txt"}), "caf\xC3\xA9.txt"},
    {"extra field and comment",
     GzMember({.content = kText, .name = "after-extra.txt", .comment = "a comment", .extra = {'A', 'B', 4, 0, 'w', 'x', 'y', 'z'}}),
     "after-extra.txt"},
    {"header CRC right", GzMember({.content = kText, .name = "crc", .headerCrc = true}), "crc"},
    {"method 9", GzMember({.content = kText, .name = "m", .method = 9}), "m", 256},
    {"only the header, named after the file", Cut(GzMember({.content = kText}), 10), "head", 8, 0, 0},
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
  WriteBytes(dir.Path("big.gz"), GzMember({.content = Bytes(3 * 524288, 'g'), .name = "big"}));
  WalkOptions extract = kExtract;
  extract.prepare = [](ArchiveContext*) { ArmFault(kFaultVolumeFull, 2); };
  EXPECT_EQ(WalkArchive(dir.Path("big.gz"), dir.Path("out"), extract), kResultWrite);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path("out")));
  extract.prepare = nullptr;
  EXPECT_EQ(WalkArchive(dir.Path("big.gz"), dir.Path("out"), extract), kResultOk);
}

// TAR archives inside gzip made by GNU tar, bsdtar, pigz and Python (tests/fixtures/
// targz_fixtures.sh): they open as read-only TARs, list what GNU tar lists with its times,
// test sound and extract as their sources; damage stops the listing; pages deep in a member
// and a member chosen alone come from the resumption points.
constexpr uint32_t kFullCount = 25;  // members of the big tree, folders included

std::filesystem::path Folder() { return FixturesDir() / "targz"; }

// The files GNU tar lists, sorted.
std::vector<std::string> GnuTarFiles() {
  std::ifstream list(Folder() / "gnutar.names");
  std::vector<std::string> files;
  for (std::string line; std::getline(list, line);)
    if (!line.empty() && line.back() != '/') files.push_back(line);
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> ListedFiles(const ListingContext& l) {
  std::vector<std::string> files;
  for (const ListedMember& m : l.members)
    if ((m.entry.attributes & kAttrDirectory) == 0) files.push_back(m.name);
  std::sort(files.begin(), files.end());
  return files;
}

// The tools differ in their Deflate streams and TAR headers, which the listing and the test
// (with every gzip trailer's CRC-32) see; the extraction behind them is the same for all,
// so two extract: GNU tar's, and the TAR split across two gzip members.
struct ToolCase { const char* what; const char* archive; bool extracted; };
const ToolCase kTools[] = {
    {"GNU tar", "gnutar.tgz", true}, {"bsdtar", "bsdtar.tar.gz", false}, {"pigz", "pigz.tgz", false},
    {"Python tarfile", "python.tgz", false}, {"two gzip members", "two-members.tgz", true},
};
class TarGzTool : public testing::TestWithParam<ToolCase> {};

TEST_P(TarGzTool, ListsTestsAndExtractsLikeGnuTar) {
  const std::filesystem::path archive = Folder() / GetParam().archive;
  const std::vector<std::string> files = GnuTarFiles();
  ASSERT_GT(files.size(), 20u);
  size_t listed = 0;
  for (uint32_t walkFollows : {0u, 1u}) {
    ListingContext l(archive);
    l.context.walkFollows = walkFollows;
    ASSERT_EQ(l.Open(), kResultOk);
    if (walkFollows) {
      // Opened for the test alone, nothing is listed first: the test finds every member itself.
      EXPECT_TRUE(l.members.empty());
      EXPECT_GT(l.context.walkSizeHint, 0u);  // the progress total
      break;
    }
    EXPECT_EQ(l.context.format, kFormatTarGz);
    EXPECT_EQ(l.context.openMode, kModeReadOnly);
    EXPECT_EQ(ListedFiles(l), files);
    listed = l.members.size();
    for (const ListedMember& m : l.members) EXPECT_EQ(m.entry.modified, UnixToFileTime(1600000000)) << m.name;
    // Over 20 MB decoded: points every 4 MiB.
    EXPECT_GE(GzStreamPointCount(l.context.source.state), 5u);
  }
  ScratchDir dir;
  EXPECT_EQ(WalkArchive(archive, dir.Path("test"), {}), kResultOk);
  WalkOptions unlisted;
  unlisted.unlisted = true;
  std::vector<std::u16string> offered;
  EXPECT_EQ(WalkArchive(archive, dir.Path("test"), unlisted, &offered), kResultOk);
  EXPECT_EQ(offered.size(), listed);
  if (!GetParam().extracted) return;
  ASSERT_EQ(WalkArchive(archive, dir.Path("out"), kExtract), kResultOk);
  for (const std::string& file : files) {
    const std::filesystem::path extracted = dir.Path("out") / Utf8Path(file);
    EXPECT_TRUE(ReadBytes(extracted) == ReadBytes(Folder() / Utf8Path(file))) << file;
    EXPECT_EQ(FileTimeOf(extracted), UnixToFileTime(1600000000)) << file;
  }
}
INSTANTIATE_TEST_SUITE_P(Tools, TarGzTool, testing::ValuesIn(kTools), CaseName());

// A cut or damaged stream lists the members before the fault, read-only, and fails the test.
// Damaged Huffman data may decode to garbage before an invalid code: a TAR header's checksum
// or the stream may be first to tell. A changed byte of stored data lists everything, and
// only the trailer's CRC-32 finds it.
struct FaultCase { const char* what; const char* archive; ResultCode verdict, orVerdict; size_t fewest, most; };
const FaultCase kFaults[] = {
    {"cut in the middle", "cut.tgz", kResultUnexpectedEnd, kResultUnexpectedEnd, 3, kFullCount - 1},
    {"damaged in the middle", "damaged.tgz", kResultFormat, kResultChecksum, 3, kFullCount - 1},
    {"stored byte changed", "crc.tgz", kResultChecksum, kResultChecksum, 2, 2},
};
class TarGzFault : public testing::TestWithParam<FaultCase> {};

TEST_P(TarGzFault, ListsWhatCameBeforeAndFailsTheTest) {
  const std::filesystem::path archive = Folder() / GetParam().archive;
  ListingContext l(archive);
  ASSERT_EQ(l.Open(), kResultOk);
  EXPECT_EQ(l.context.format, kFormatTarGz);
  EXPECT_EQ(l.context.openMode, kModeReadOnly);
  EXPECT_GE(l.members.size(), GetParam().fewest);
  EXPECT_LE(l.members.size(), GetParam().most);
  ScratchDir dir;
  for (bool unlisted : {false, true}) {
    WalkOptions options;
    options.unlisted = unlisted;
    const ResultCode verdict = WalkArchive(archive, dir.Path("test"), options);
    EXPECT_TRUE(verdict == GetParam().verdict || verdict == GetParam().orVerdict) << verdict << " unlisted " << unlisted;
  }
}
INSTANTIATE_TEST_SUITE_P(Faults, TarGzFault, testing::ValuesIn(kFaults), CaseName());

TEST(TarGz, NoTarInsideOrOpenedOuterIsOneGzMember) {
  struct Case { const char* archive; uint32_t outer; };
  for (const Case& c : {Case{"numbers.tgz", 0}, Case{"gnutar.tgz", 1}}) {
    ListingContext l(Folder() / c.archive);
    l.context.openOuter = c.outer;
    ASSERT_EQ(l.Open(), kResultOk) << c.archive;
    EXPECT_EQ(l.context.format, kFormatGz) << c.archive;
    EXPECT_EQ(l.members.size(), 1u) << c.archive;
  }
}

// The largest file whose data start past the middle of the decoded stream.
const ListedMember* DeepMember(const ListingContext& l) {
  const ListedMember* deep = nullptr;
  for (const ListedMember& m : l.members)
    if (m.offset > l.context.appendOffset / 2 && (deep == nullptr || m.entry.size > deep->entry.size)) deep = &m;
  return deep;
}

uint32_t gWanted = 0;
uint32_t OnlyTheWanted(ArchiveContext* context, uint32_t index) { return index <= gWanted ? gWanted : context->memberCount; }

TEST(TarGz, ADeepMemberPagesForwardAndBackAndExtractsAlone) {
  ListingContext l(Folder() / "gnutar.tgz");
  ASSERT_EQ(l.Open(), kResultOk);
  const ListedMember* deep = DeepMember(l);
  ASSERT_NE(deep, nullptr);
  const Bytes source = ReadBytes(Folder() / Utf8Path(deep->name));
  ExpectPagesForwardAndBack(&l.context, deep->index, deep->entry.packedSize, source);
  gWanted = deep->index;
  WalkOptions extract = kExtract;
  extract.prepare = [](ArchiveContext* context) { context->nextWanted = OnlyTheWanted; };
  ScratchDir dir;
  std::vector<std::u16string> offered;
  ASSERT_EQ(WalkArchive(Folder() / "gnutar.tgz", dir.Path("out"), extract, &offered), kResultOk);
  EXPECT_EQ(offered.size(), 1u);
  EXPECT_TRUE(ReadBytes(dir.Path("out") / Utf8Path(deep->name)) == source);
}
}  // namespace
