// Archives made by the independent tools: by GNU tar, bsdtar, Python and Info-ZIP
// (tests/fixtures/name_fixtures.sh and sparse_fixtures.sh), long and non-ASCII names without
// the UTF-8 setting (under Wine some paths pass 260 characters) and GNU tar's sparse files in
// each of its forms; by Info-ZIP zip, 7zz, gzip and pigz, ZIP, EPUB and GZ files. Each lists
// as expected, tests sound and extracts as its sources.
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

// ZIP, EPUB and GZ files made by Info-ZIP zip, 7zz, gzip and pigz (tests/fixtures): listed,
// tested and extracted byte for byte against the files they were made from.
constexpr uint64_t kStamp = 1614834368;  // 2021-03-04 05:06:08 UTC, the sources' time

// A file below the destination, the source below the fixtures folder it must equal, and its
// time (0: not checked, the time the tool ran; 1: the gzip time 0).
struct Extracted { std::u16string name; std::string source; uint64_t unixTime; };
// The names as stored; extracted: by a walk with the test's password and skips.
struct Case { std::string archive; std::vector<std::string> listed; WalkOptions test; ResultCode testResult;
              std::vector<Extracted> extracted; };

const std::vector<Extracted> kTree = {{u"text.txt", "src/text.txt", kStamp},
                                      {u"random.bin", "src/random.bin", kStamp},
                                      {u"empty.txt", "src/empty.txt", kStamp},
                                      {u"big.bin", "src/big.bin", kStamp},
                                      {u"nested/deeper/deep.txt", "src/nested/deeper/deep.txt", kStamp}};
const std::vector<std::string> kTreeNames = {"text.txt", "random.bin", "empty.txt", "big.bin", "nested/",
                                             "nested/deeper/", "nested/deeper/deep.txt"};
const char* const kPassword = "open sesame";

std::vector<Extracted> Pick(std::initializer_list<size_t> which) {
  std::vector<Extracted> out;
  for (size_t i : which) out.push_back(kTree[i]);
  return out;
}

std::filesystem::path Fixtures() { return FixturesDir() / "zipgz"; }
}  // namespace

TEST(ZipGzInterop, ListTestAndExtract) {
  const Case cases[] = {
      {"infozip.zip", kTreeNames, {}, kResultOk, kTree},
      {"infozip-store.zip", {"text.txt", "random.bin", "empty.txt", "nested/", "nested/deeper/", "nested/deeper/deep.txt"},
       {}, kResultOk, Pick({0, 1, 2, 4})},
      {"infozip-crypt.zip", {"text.txt", "random.bin", "empty.txt", "big.bin"}, {1, kPassword, {}}, kResultOk, Pick({0, 1, 2, 3})},
      {"infozip-crypt.zip", {"text.txt", "random.bin", "empty.txt", "big.bin"}, {1, "open Sesame", {}}, kResultPassword, {}},
      {"infozip-descriptor.zip", {"text.txt", "big.bin", "empty.txt"}, {}, kResultOk, Pick({0, 3, 2})},
      {"infozip-pipe.zip", {"-"}, {}, kResultOk, {{u"-", "src/big.bin", 0}}},
      {"infozip-pipe-zip64.zip", {"-"}, {}, kResultOk, {{u"-", "src/text.txt", 0}}},
      {"7zz-deflate64.zip", {"big.bin", "caf\xC3\xA9.txt", "random.bin", "text.txt"}, {}, kResultOk,
       {kTree[3], {u"caf\u00E9.txt", "src/caf\xC3\xA9.txt", kStamp}, kTree[1], kTree[0]}},
      {"7zz-copy.zip", {"empty.txt", "random.bin", "text.txt"}, {}, kResultOk, Pick({2, 1, 0})},
      {"7zz-crypt-deflate.zip", {"big.bin", "text.txt"}, {1, kPassword, {}}, kResultOk, Pick({3, 0})},
      {"7zz-crypt-deflate64.zip", {"big.bin", "text.txt"}, {1, kPassword, {}}, kResultOk, Pick({3, 0})},
      {"7zz-crypt-deflate64.zip", {"big.bin", "text.txt"}, {1, "wrong", {}}, kResultPassword, {}},
      {"7zz-mixed.zip", {"big.bin", "random.bin", "text.txt"}, {}, kResultUnsupportedMethod, {}},
      {"7zz-mixed.zip", {"big.bin", "random.bin", "text.txt"}, {1, nullptr, {u"big.bin"}}, kResultOk, Pick({1, 0})},
      {"7zz-aes.zip", {"text.txt"}, {1, kPassword, {}}, kResultUnsupportedMethod, {}},
      {"book.epub", {"mimetype", "META-INF/", "META-INF/container.xml", "OEBPS/", "OEBPS/chapter.xhtml"}, {}, kResultOk,
       {{u"mimetype", "book/mimetype", kStamp},
        {u"META-INF/container.xml", "book/META-INF/container.xml", kStamp},
        {u"OEBPS/chapter.xhtml", "book/OEBPS/chapter.xhtml", kStamp}}},
      {"text.txt.gz", {"text.txt"}, {}, kResultOk, {kTree[0]}},
      {"big-noname.gz", {"big-noname"}, {}, kResultOk, {{u"big-noname", "src/big.bin", 1}}},
      {"big-pigz.gz", {"big.bin"}, {}, kResultOk, {kTree[3]}},
      {"concat.gz", {"text.txt"}, {}, kResultOk, {{u"text.txt", "concat.expected", kStamp}}},
      {"padded.gz", {"text.txt"}, {}, kResultOk, {kTree[0]}},
      // A TAR inside: its members, not the TAR.
      {"bundle.tgz", {"text.txt", "empty.txt"}, {}, kResultOk, Pick({0, 2})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    const std::filesystem::path archive = Fixtures() / c.archive;
    {
      ListingContext l(archive);
      ASSERT_EQ(l.Open(), kResultOk);
      std::vector<std::string> names;
      for (const ListedMember& m : l.members) names.push_back(NameOf(m.entry));
      EXPECT_EQ(names, c.listed);
    }
    ScratchDir dir;
    EXPECT_EQ(WalkArchive(archive, dir.Path("test"), c.test), c.testResult);
    if (c.extracted.empty()) continue;
    WalkOptions extract = c.test;
    extract.testFlag = 0;
    ASSERT_EQ(WalkArchive(archive, dir.Path("out"), extract), kResultOk);
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path("out")))
      files += entry.is_regular_file();
    EXPECT_EQ(files, c.extracted.size());
    for (const Extracted& e : c.extracted) {
      const std::filesystem::path path = dir.Path("out") / std::filesystem::path(e.name);
      EXPECT_TRUE(ReadBytes(path) == ReadBytes(Fixtures() / Utf8Path(e.source))) << e.source;
      if (e.unixTime != 0) {
        EXPECT_EQ(FileTimeOf(path), UnixToFileTime(e.unixTime == 1 ? 0 : e.unixTime));
      }
    }
  }
}
