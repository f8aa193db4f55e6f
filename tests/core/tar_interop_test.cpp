// Listing archives that GNU tar and bsdtar made at test time from one known tree.
#include <gtest/gtest.h>

#include "core/filetime.h"
#include "core/tar.h"
#include "support/test_files.h"

namespace {
const std::string kLong = std::string(120, 'L') + ".txt";
const std::string kDeep =
    "dir/" + std::string(40, 'a') + "/" + std::string(40, 'b') + "/" + std::string(40, 'c') + "/deep.txt";

struct Expected {
  std::string name;
  uint64_t size;
  uint32_t attributes;
};

// Every writer's way of holding a long name (GNU long-name record, pax path, ustar prefix)
// gives the one whole name; the list shows one row for it.
const std::vector<Expected> kTree = {
    {"empty.txt", 0, kAttrArchive},  {"five.txt", 5, kAttrArchive},       {"big.bin", 70000, kAttrArchive},
    {"dir/", 0, kAttrDirectory},     {"dir/inner.txt", 11, kAttrArchive}, {"dir/" + kLong, 10, kAttrArchive},
    {"dir/na\xC3\xAFve \xE2\x82\xAC.txt", 8, kAttrArchive}, {kDeep, 5, kAttrArchive}};

// ustar has no way to hold a 124-byte file name: that member is left out there.
std::vector<Expected> WithoutLongFileName() {
  std::vector<Expected> e = kTree;
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
      {"gnutar-gnu.tar", kTree},     {"gnutar-oldgnu.tar", kTree}, {"gnutar-ustar.tar", WithoutLongFileName()},
      {"gnutar-pax.tar", kTree},     {"bsdtar-default.tar", kTree}, {"bsdtar-pax.tar", kTree},
      {"bsdtar-gnutar.tar", kTree},
  };
  std::filesystem::path fixtures = FixturesDir();
  ASSERT_FALSE(fixtures.empty());
  for (const auto& [file, expected] : cases) {
    SCOPED_TRACE(file);
    uint64_t endOfMembers = EndOfMembers(ReadBytes(fixtures / file));  // before we lock it
    ListingContext l(fixtures / file, 0);  // the names are UTF-8 without the setting
    ASSERT_EQ(l.Open(), kResultOk);
    EXPECT_EQ(l.context.openMode, kModeReadWrite);
    ASSERT_EQ(l.members.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const EntryRecord& e = l.members[i].entry;
      const std::string& name = l.members[i].name;
      EXPECT_EQ(name, expected[i].name);
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
