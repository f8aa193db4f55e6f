// Archives made by GNU tar, bsdtar, Python and Info-ZIP (tests/fixtures/name_fixtures.sh and
// sparse_fixtures.sh): long and non-ASCII names without the UTF-8 setting (under Wine some
// paths pass 260 characters), and GNU tar's sparse files in each of its forms. Each lists
// with exactly the original paths and sizes, tests sound and extracts as its sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/filetime.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"

namespace {
// Windows reaches paths past MAX_PATH only in their long form.
std::filesystem::path Reachable(const std::filesystem::path& path) {
#ifdef _WIN32
  return std::filesystem::path(L"\\\\?\\" + std::filesystem::absolute(path).make_preferred().wstring());
#else
  return path;
#endif
}

// The sources, sorted: the names folder lists its own in files.txt.
std::vector<std::string> SourceFiles(const std::filesystem::path& folder) {
  std::ifstream list(folder / "files.txt");
  if (!list) return {"dir/empty-holes.bin", "dir/holes.bin"};
  std::vector<std::string> files;
  for (std::string line; std::getline(list, line);) files.push_back(line);
  return files;
}

struct FixtureCase { const char* what; const char* folder; const char* archive; size_t files; };
const FixtureCase kFixtures[] = {
    {"names gnu.tar", "names", "gnu.tar", 3},     {"names pax.tar", "names", "pax.tar", 3},
    {"names bsdtar.tar", "names", "bsdtar.tar", 3}, {"names python.tar", "names", "python.tar", 3},
    {"names infozip.zip", "names", "infozip.zip", 3}, {"names python.zip", "names", "python.zip", 3},
    {"sparse gnu.tar", "sparse", "gnu.tar", 2},   {"sparse pax-0.0.tar", "sparse", "pax-0.0.tar", 2},
    {"sparse pax-0.1.tar", "sparse", "pax-0.1.tar", 2}, {"sparse pax-1.0.tar", "sparse", "pax-1.0.tar", 2},
};
class FixtureArchive : public testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureArchive, ListsTestsAndExtractsItsSources) {
  const std::filesystem::path folder = FixturesDir() / GetParam().folder, archive = folder / GetParam().archive;
  const std::vector<std::string> files = SourceFiles(folder);
  ASSERT_EQ(files.size(), GetParam().files);
  std::vector<Bytes> sources;
  std::vector<std::pair<std::string, uint64_t>> expected, listed;
  for (const std::string& file : files) {
    sources.push_back(ReadBytes(Reachable(folder / "src" / Utf8Path(file))));
    expected.push_back({file, sources.back().size()});
  }
  {
    ListingContext l(archive, 0);
    ASSERT_EQ(l.Open(), kResultOk);
    for (const ListedMember& m : l.members)
      if ((m.entry.attributes & kAttrDirectory) == 0) listed.push_back({m.name, m.entry.size});
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);
  }
  ScratchDir dir;
  EXPECT_EQ(WalkArchive(archive, dir.Path("test"), {}), kResultOk);
  ASSERT_EQ(WalkArchive(archive, dir.Path("out"), kExtract), kResultOk);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::filesystem::path extracted = Reachable(dir.Path("out") / Utf8Path(files[i]));
    EXPECT_TRUE(ReadBytes(extracted) == sources[i]) << files[i];
    EXPECT_EQ(FileTimeOf(extracted), UnixToFileTime(1600000000)) << files[i];
  }
}
INSTANTIATE_TEST_SUITE_P(Tools, FixtureArchive, testing::ValuesIn(kFixtures), CaseName());
}  // namespace
