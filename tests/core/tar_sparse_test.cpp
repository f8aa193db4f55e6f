// Sparse files from GNU tar (tests/fixtures/sparse_fixtures.sh) list with their real names
// and sizes and extract as the files they stand for, holes filled with zeros.
#include <gtest/gtest.h>

#include "core/filetime.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"

namespace {
std::filesystem::path Sparse() { return FixturesDir() / "sparse"; }

class TarSparse : public testing::TestWithParam<const char*> {};

TEST_P(TarSparse, ListsAndExtractsTheWholeFile) {
  const std::filesystem::path archive = Sparse() / GetParam();
  const std::pair<std::string, uint64_t> files[] = {{"dir/holes.bin", 5242880}, {"dir/empty-holes.bin", 1048576}};
  {
    ListingContext l(archive);
    ASSERT_EQ(l.Open(), kResultOk);
    ASSERT_EQ(l.members.size(), std::size(files));
    for (size_t i = 0; i < std::size(files); ++i) {
      EXPECT_EQ(l.members[i].name, files[i].first);
      EXPECT_EQ(l.members[i].entry.size, files[i].second) << files[i].first;
    }
  }
  ScratchDir dir;
  EXPECT_EQ(WalkArchive(archive, dir.Path("test"), {}), kResultOk);
  WalkOptions extract;
  extract.testFlag = 0;
  ASSERT_EQ(WalkArchive(archive, dir.Path("out"), extract), kResultOk);
  for (const auto& [name, size] : files) {
    const Bytes extracted = ReadBytes(dir.Path("out") / name);
    EXPECT_EQ(extracted.size(), size) << name;
    EXPECT_TRUE(extracted == ReadBytes(Sparse() / "src" / name)) << name;
    EXPECT_EQ(FileTimeOf(dir.Path("out") / name), UnixToFileTime(1600000000)) << name;
  }
}
INSTANTIATE_TEST_SUITE_P(Gnu, TarSparse, testing::Values("gnu.tar", "pax-0.0.tar", "pax-0.1.tar", "pax-1.0.tar"),
                         [](const testing::TestParamInfo<const char*>& info) { return CaseIdentifier(info.param); });
}  // namespace
