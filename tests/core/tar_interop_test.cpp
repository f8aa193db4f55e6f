// Listing archives that GNU tar and bsdtar made at test time from one known tree.
#include <gtest/gtest.h>

#include "core/filetime.h"
#include "core/tar.h"
#include "support/test_files.h"

namespace {
const std::string kLong = std::string(120, 'L') + ".txt";

struct Expected {
  std::string name;  // exact, or "LONG" for the 124-byte path cut into the 100-byte field
  uint64_t size;
  uint32_t attributes;
};

const std::vector<Expected> kPlain = {
    {"empty.txt", 0, kAttrArchive},  {"five.txt", 5, kAttrArchive},       {"big.bin", 70000, kAttrArchive},
    {"dir/", 0, kAttrDirectory},     {"dir/inner.txt", 11, kAttrArchive}, {"LONG", 10, kAttrArchive},
    {"dir/na\xC3\xAFve \xE2\x82\xAC.txt", 8, kAttrArchive}};

std::vector<Expected> WithGnuLongLink() {
  std::vector<Expected> e = kPlain;
  e.insert(e.begin() + 5, {"././@LongLink", 129, 0});
  return e;
}

std::vector<Expected> WithoutLong() {
  std::vector<Expected> e = kPlain;
  e.erase(e.begin() + 5);
  return e;
}

// Where the end-of-archive zero blocks begin: behind the last block holding a non-zero byte.
uint64_t EndOfMembers(const Bytes& archive) {
  size_t end = archive.size();
  while (end > 0 && archive[end - 1] == 0) --end;
  return (end + 511) / 512 * 512;
}

TEST(TarInterop, ListsWhatGnuTarAndBsdtarWrote) {
  const std::pair<const char*, std::vector<Expected>> cases[] = {
      {"gnutar-gnu.tar", WithGnuLongLink()},   {"gnutar-oldgnu.tar", WithGnuLongLink()},
      {"gnutar-ustar.tar", WithoutLong()},     {"gnutar-pax.tar", kPlain},
      {"bsdtar-default.tar", kPlain},          {"bsdtar-pax.tar", kPlain},
      {"bsdtar-gnutar.tar", WithGnuLongLink()},
  };
  std::filesystem::path fixtures = FixturesDir();
  ASSERT_FALSE(fixtures.empty());
  for (const auto& [file, expected] : cases) {
    SCOPED_TRACE(file);
    uint64_t endOfMembers = EndOfMembers(ReadBytes(fixtures / file));  // before we lock it
    ListingContext l(fixtures / file, 65001);
    ASSERT_EQ(l.Open(), kResultOk);
    EXPECT_EQ(l.context.openMode, kModeReadWrite);
    ASSERT_EQ(l.members.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const EntryRecord& e = l.members[i].entry;
      std::string name = NameOf(e);
      if (expected[i].name == "LONG") {
        EXPECT_GE(name.size(), 90u);  // each writer cuts it a little differently
        EXPECT_NE(("dir/" + kLong).find(name), std::string::npos) << name;
      } else {
        EXPECT_EQ(name, expected[i].name);
      }
      EXPECT_EQ(e.size, expected[i].size) << name;
      EXPECT_EQ(e.attributes, expected[i].attributes) << name;
      if (expected[i].attributes != 0) {
        EXPECT_EQ(e.modified, UnixToFileTime(1600000000)) << name;
      }
      EXPECT_EQ(e.packedSize, static_cast<int64_t>(e.size + TarPadding(e.size)));
    }
    EXPECT_EQ(l.context.appendOffset, endOfMembers);
    EXPECT_EQ(l.context.memberCount, l.members.back().index + 1);
  }
}
}  // namespace
