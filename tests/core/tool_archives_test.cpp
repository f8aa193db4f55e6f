// Archives made by the independent tools: by GNU tar, bsdtar, Python and Info-ZIP
// (tests/fixtures/name_fixtures.sh and sparse_fixtures.sh), long and non-ASCII names without
// the UTF-8 setting (under Wine some paths pass 260 characters) and GNU tar's sparse files in
// each of its forms; by Info-ZIP zip, 7zz, gzip and pigz, ZIP, EPUB and GZ files
// (tests/fixtures/zip_gz_fixtures.sh). Each lists as expected, tests as expected and
// extracts byte for byte as its sources, with their times.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/filetime.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"

namespace {
namespace fs = std::filesystem;

// Windows reaches paths past MAX_PATH only in their long form.
fs::path Reachable(const fs::path& path) {
#ifdef _WIN32
  return fs::path(L"\\\\?\\" + fs::absolute(path).make_preferred().wstring());
#else
  return path;
#endif
}

// A file below the destination, the source beside the archive it must equal, and its time
// (0: not checked, the time the tool ran; 1: the gzip time 0).
struct Extracted { std::u16string name; std::string source; uint64_t unixTime; };
// archive: below the fixtures folder. listed: the names as stored, in order; empty for the
// names and sparse folders, whose sources (files.txt, or the two sparse files) are listed in
// any order with their sizes, shown without the UTF-8 setting, and extracted with the time
// the scripts give them. test: the walk's password and skips.
struct ToolCase {
  const char* what; std::string archive; std::vector<std::string> listed = {}; WalkOptions test = {};
  ResultCode testResult = kResultOk; std::vector<Extracted> extracted = {};
};

constexpr uint64_t kStamp = 1614834368;  // 2021-03-04 05:06:08 UTC, the zipgz sources' time
const std::vector<Extracted> kTree = {{u"text.txt", "src/text.txt", kStamp},
                                      {u"random.bin", "src/random.bin", kStamp},
                                      {u"empty.txt", "src/empty.txt", kStamp},
                                      {u"big.bin", "src/big.bin", kStamp},
                                      {u"nested/deeper/deep.txt", "src/nested/deeper/deep.txt", kStamp}};
const std::vector<std::string> kCrypt = {"text.txt", "random.bin", "empty.txt", "big.bin"};
const std::vector<std::string> kMixed = {"big.bin", "random.bin", "text.txt"};
const char* const kPassword = "open sesame";

std::vector<Extracted> Pick(std::initializer_list<size_t> which) {
  std::vector<Extracted> out;
  for (size_t i : which) out.push_back(kTree[i]);
  return out;
}

const ToolCase kToolCases[] = {
    {"names gnu.tar", "names/gnu.tar"},         {"names pax.tar", "names/pax.tar"},
    {"names bsdtar.tar", "names/bsdtar.tar"},   {"names python.tar", "names/python.tar"},
    {"names infozip.zip", "names/infozip.zip"}, {"names python.zip", "names/python.zip"},
    {"sparse gnu.tar", "sparse/gnu.tar"},       {"sparse pax-0.0.tar", "sparse/pax-0.0.tar"},
    {"sparse pax-0.1.tar", "sparse/pax-0.1.tar"}, {"sparse pax-1.0.tar", "sparse/pax-1.0.tar"},
    {"infozip", "zipgz/infozip.zip",
     {"text.txt", "random.bin", "empty.txt", "big.bin", "nested/", "nested/deeper/", "nested/deeper/deep.txt"}, {},
     kResultOk, kTree},
    {"infozip stored", "zipgz/infozip-store.zip",
     {"text.txt", "random.bin", "empty.txt", "nested/", "nested/deeper/", "nested/deeper/deep.txt"}, {}, kResultOk,
     Pick({0, 1, 2, 4})},
    {"infozip encrypted", "zipgz/infozip-crypt.zip", kCrypt, {1, kPassword, {}}, kResultOk, Pick({0, 1, 2, 3})},
    {"infozip encrypted, password in the wrong case", "zipgz/infozip-crypt.zip", kCrypt, {1, "open Sesame", {}},
     kResultPassword},
    {"infozip descriptors", "zipgz/infozip-descriptor.zip", {"text.txt", "big.bin", "empty.txt"}, {}, kResultOk,
     Pick({0, 3, 2})},
    {"infozip from a pipe", "zipgz/infozip-pipe.zip", {"-"}, {}, kResultOk, {{u"-", "src/big.bin", 0}}},
    {"infozip ZIP64 from a pipe", "zipgz/infozip-pipe-zip64.zip", {"-"}, {}, kResultOk, {{u"-", "src/text.txt", 0}}},
    {"7zz Deflate64", "zipgz/7zz-deflate64.zip", {"big.bin", "caf\xC3\xA9.txt", "random.bin", "text.txt"}, {}, kResultOk,
     {kTree[3], {u"caf\u00E9.txt", "src/caf\xC3\xA9.txt", kStamp}, kTree[1], kTree[0]}},
    {"7zz copy", "zipgz/7zz-copy.zip", {"empty.txt", "random.bin", "text.txt"}, {}, kResultOk, Pick({2, 1, 0})},
    {"7zz encrypted Deflate", "zipgz/7zz-crypt-deflate.zip", {"big.bin", "text.txt"}, {1, kPassword, {}}, kResultOk,
     Pick({3, 0})},
    {"7zz encrypted Deflate64", "zipgz/7zz-crypt-deflate64.zip", {"big.bin", "text.txt"}, {1, kPassword, {}}, kResultOk,
     Pick({3, 0})},
    {"7zz encrypted Deflate64, wrong password", "zipgz/7zz-crypt-deflate64.zip", {"big.bin", "text.txt"},
     {1, "wrong", {}}, kResultPassword},
    {"7zz with a BZip2 member", "zipgz/7zz-mixed.zip", kMixed, {}, kResultUnsupportedMethod},
    {"7zz with the BZip2 member skipped", "zipgz/7zz-mixed.zip", kMixed, {1, nullptr, {u"big.bin"}}, kResultOk,
     Pick({1, 0})},
    {"7zz AES", "zipgz/7zz-aes.zip", {"text.txt"}, {1, kPassword, {}}, kResultUnsupportedMethod},
    {"EPUB", "zipgz/book.epub", {"mimetype", "META-INF/", "META-INF/container.xml", "OEBPS/", "OEBPS/chapter.xhtml"}, {},
     kResultOk,
     {{u"mimetype", "book/mimetype", kStamp},
      {u"META-INF/container.xml", "book/META-INF/container.xml", kStamp},
      {u"OEBPS/chapter.xhtml", "book/OEBPS/chapter.xhtml", kStamp}}},
    {"gzip", "zipgz/text.txt.gz", {"text.txt"}, {}, kResultOk, {kTree[0]}},
    {"gzip without a name", "zipgz/big-noname.gz", {"big-noname"}, {}, kResultOk, {{u"big-noname", "src/big.bin", 1}}},
    {"pigz", "zipgz/big-pigz.gz", {"big.bin"}, {}, kResultOk, {kTree[3]}},
    {"gzip members one after another", "zipgz/concat.gz", {"text.txt"}, {}, kResultOk,
     {{u"text.txt", "concat.expected", kStamp}}},
    {"gzip with zeros behind", "zipgz/padded.gz", {"text.txt"}, {}, kResultOk, {kTree[0]}},
    // A TAR inside: its members, not the TAR.
    {"TAR inside gzip", "zipgz/bundle.tgz", {"text.txt", "empty.txt"}, {}, kResultOk, Pick({0, 2})},
};

class ToolArchive : public testing::TestWithParam<ToolCase> {};

TEST_P(ToolArchive, ListsTestsAndExtractsItsSources) {
  const ToolCase& c = GetParam();
  const fs::path archive = FixturesDir() / c.archive, folder = archive.parent_path();
  std::vector<Extracted> extracted = c.extracted;
  if (c.listed.empty()) {  // the sources, sorted: the names folder lists its own in files.txt
    std::vector<std::string> files;
    std::ifstream list(folder / "files.txt");
    for (std::string line; std::getline(list, line);) files.push_back(line);
    if (!list.is_open()) files = {"dir/empty-holes.bin", "dir/holes.bin"};  // the sparse folder's
    std::vector<std::pair<std::string, uint64_t>> expected, listed;
    for (const std::string& file : files) {
      extracted.push_back({Utf8Path(file).u16string(), "src/" + file, 1600000000});
      expected.push_back({file, ReadBytes(Reachable(folder / "src" / Utf8Path(file))).size()});
    }
    ListingContext l(archive, 0);
    ASSERT_EQ(l.Open(), kResultOk);
    for (const ListedMember& m : l.members)
      if ((m.entry.attributes & kAttrDirectory) == 0) listed.push_back({m.name, m.entry.size});
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);
  } else {
    ListingContext l(archive);
    ASSERT_EQ(l.Open(), kResultOk);
    std::vector<std::string> names;
    for (const ListedMember& m : l.members) names.push_back(NameOf(m.entry));
    EXPECT_EQ(names, c.listed);
  }
  ScratchDir dir;
  EXPECT_EQ(WalkArchive(archive, dir.Path("test"), c.test), c.testResult);
  if (extracted.empty()) return;
  WalkOptions extract = c.test;
  extract.testFlag = 0;
  ASSERT_EQ(WalkArchive(archive, dir.Path("out"), extract), kResultOk);
  for (const Extracted& e : extracted) {
    const fs::path path = Reachable(dir.Path("out") / fs::path(e.name));
    EXPECT_TRUE(ReadBytes(path) == ReadBytes(Reachable(folder / Utf8Path(e.source)))) << e.source;
    if (e.unixTime != 0) { EXPECT_EQ(FileTimeOf(path), UnixToFileTime(e.unixTime == 1 ? 0 : e.unixTime)) << e.source; }
  }
#ifdef _WIN32
  if (c.listed.empty()) return;  // a walk of the folder cannot take the paths past 260 characters there
#endif
  size_t files = 0;  // nothing else was extracted
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path("out"))) files += entry.is_regular_file();
  EXPECT_EQ(files, extracted.size());
}
INSTANTIATE_TEST_SUITE_P(Tools, ToolArchive, testing::ValuesIn(kToolCases), CaseName());
}  // namespace
