// TAR archives inside gzip made by GNU tar, bsdtar, pigz and Python (tests/fixtures/
// targz_fixtures.sh): they open as read-only TARs, list what GNU tar lists with its times,
// test sound and extract as their sources; damage stops the listing; pages deep in a member
// and a member chosen alone come from the resumption points.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/archive.h"
#include "core/filetime.h"
#include "gz/gz_stream.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "support/view_pages.h"

namespace {
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
  {
    ListingContext l(archive);
    ASSERT_EQ(l.Open(), kResultOk);
    EXPECT_EQ(l.context.format, kFormatTarGz);
    EXPECT_EQ(l.context.openMode, kModeReadOnly);
    EXPECT_EQ(ListedFiles(l), files);
    for (const ListedMember& m : l.members) EXPECT_EQ(m.entry.modified, UnixToFileTime(1600000000)) << m.name;
    // Over 20 MB decoded: points every 4 MiB.
    EXPECT_GE(GzStreamPointCount(l.context.source.state), 5u);
  }
  ScratchDir dir;
  EXPECT_EQ(WalkArchive(archive, dir.Path("test"), {}), kResultOk);
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
  const ResultCode verdict = WalkArchive(archive, dir.Path("test"), {});
  EXPECT_TRUE(verdict == GetParam().verdict || verdict == GetParam().orVerdict) << verdict;
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
