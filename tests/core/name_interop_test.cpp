// Long and non-ASCII names as GNU tar, bsdtar, Python and Info-ZIP write them
// (tests/fixtures/name_fixtures.sh): listed and extracted with exactly the original paths
// and bytes, without the UTF-8 setting; under Wine some paths pass 260 characters.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/filetime.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"

namespace {
std::filesystem::path Names() { return FixturesDir() / "names"; }

std::vector<std::string> SourceFiles() {
  std::vector<std::string> files;
  std::ifstream list(Names() / "files.txt");
  for (std::string line; std::getline(list, line);) files.push_back(line);
  return files;
}

std::filesystem::path Utf8Path(const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

// Windows reaches paths past MAX_PATH only in their long form.
std::filesystem::path Reachable(const std::filesystem::path& path) {
#ifdef _WIN32
  return std::filesystem::path(L"\\\\?\\" + std::filesystem::absolute(path).make_preferred().wstring());
#else
  return path;
#endif
}

class NameInterop : public testing::TestWithParam<const char*> {};

TEST_P(NameInterop, ListsAndExtractsTheOriginalPaths) {
  const std::vector<std::string> files = SourceFiles();
  ASSERT_EQ(files.size(), 3u);
  const std::filesystem::path archive = Names() / GetParam();
  {
    ListingContext l(archive, 0);
    ASSERT_EQ(l.Open(), kResultOk);
    std::vector<std::string> names;
    for (const ListedMember& m : l.members)
      if ((m.entry.attributes & kAttrDirectory) == 0) names.push_back(m.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, files);
  }
  ScratchDir dir;
  WalkOptions extract;
  extract.testFlag = 0;
  ASSERT_EQ(WalkArchive(archive, dir.Path("out"), extract), kResultOk);
  for (const std::string& file : files) {
    const std::filesystem::path extracted = Reachable(dir.Path("out") / Utf8Path(file));
    EXPECT_EQ(ReadBytes(extracted), ReadBytes(Reachable(Names() / "src" / Utf8Path(file)))) << file;
    EXPECT_EQ(FileTimeOf(extracted), UnixToFileTime(1600000000)) << file;
  }
}
INSTANTIATE_TEST_SUITE_P(Names, NameInterop,
                         testing::Values("gnu.tar", "pax.tar", "bsdtar.tar", "python.tar", "infozip.zip", "python.zip"),
                         [](const testing::TestParamInfo<const char*>& info) { return CaseIdentifier(info.param); });

}  // namespace
