// ZIP files made by Info-ZIP zip and 7zz behind a program's bytes (tests/fixtures/
// zip_sfx_fixtures.sh), offsets fixed by zip -A or not: listed like the same ZIP without the
// stub, tested, and extracted byte for byte.
#include <gtest/gtest.h>

#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"

namespace {
std::filesystem::path Fixtures() { return FixturesDir() / "zipsfx"; }

struct SfxCase {
  const char* what;
  std::string file;
  std::string zip;           // the same archive without the stub
  bool sameBytesBehindStub;  // the stub's length apart, the offsets are the ZIP's
};

const SfxCase kCases[] = {
    {"Info-ZIP behind a stub", "plain-stub.exe", "plain.zip", true},
    {"Info-ZIP fixed by zip -A", "plain-fixed.exe", "plain.zip", false},
    {"descriptors behind a stub", "descriptor-stub.exe", "descriptor.zip", true},
    {"descriptors fixed by zip -A", "descriptor-fixed.exe", "descriptor.zip", false},
    {"ZIP64 end records behind a stub", "zip64-stub.exe", "zip64.zip", true},
    {"from a pipe behind a stub", "pipe-stub.exe", "pipe.zip", true},
    {"from a pipe fixed by zip -A", "pipe-fixed.exe", "pipe.zip", false},
    {"7zz behind a stub", "7zz-stub.exe", "7zz.zip", true},
    {"7zz fixed by zip -A", "7zz-fixed.exe", "7zz.zip", false},
};

std::vector<ListedMember> ListOf(const std::filesystem::path& path) {
  ListingContext l(path);
  EXPECT_EQ(l.Open(), kResultOk);
  return l.members;
}

using ZipSfx = testing::TestWithParam<SfxCase>;
TEST_P(ZipSfx, ListsTestsAndExtractsAsTheZip) {
  const SfxCase& c = GetParam();
  const std::filesystem::path exe = Fixtures() / c.file;
  const std::vector<ListedMember> zip = ListOf(Fixtures() / c.zip);
  const std::vector<ListedMember> sfx = ListOf(exe);
  ASSERT_FALSE(zip.empty());
  ASSERT_EQ(sfx.size(), zip.size());
  const uint64_t stub = std::filesystem::file_size(Fixtures() / "stub.bin");
  for (size_t i = 0; i < zip.size(); ++i) {
    SCOPED_TRACE(zip[i].name);
    EXPECT_EQ(sfx[i].name, zip[i].name);
    EXPECT_EQ(sfx[i].entry.size, zip[i].entry.size);
    EXPECT_EQ(sfx[i].entry.packedSize, zip[i].entry.packedSize);
    EXPECT_EQ(sfx[i].entry.checksum, zip[i].entry.checksum);
    if (c.sameBytesBehindStub) {
      EXPECT_EQ(sfx[i].offset, zip[i].offset + stub);
    }
  }
  ScratchDir dir;
  EXPECT_EQ(WalkArchive(exe, dir.Path("test"), {}), kResultOk);
  ASSERT_EQ(WalkArchive(exe, dir.Path("out"), {0, nullptr, {}}), kResultOk);
  for (const ListedMember& m : zip) {
    // zip reading a pipe names its one member "-": that is big.bin.
    const std::string source = m.name == "-" ? "big.bin" : m.name;
    EXPECT_TRUE(ReadBytes(dir.Path("out") / m.name) == ReadBytes(Fixtures() / "src" / source)) << m.name;
  }
}
INSTANTIATE_TEST_SUITE_P(ZipSfxInterop, ZipSfx, testing::ValuesIn(kCases), CaseName());
}  // namespace
