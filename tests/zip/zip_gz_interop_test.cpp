// ZIP, EPUB and GZ files made by Info-ZIP zip, 7zz, gzip and pigz (tests/fixtures): listed,
// tested and extracted byte for byte against the files they were made from.
#include <gtest/gtest.h>

#include "support/archive_walk.h"
#include "core/filetime.h"
#include "support/source_files.h"

namespace {
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
