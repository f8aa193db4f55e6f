// A member is never written past the size it declares: a Deflate bomb or a stored member
// that lies about its size stops at the limit, fails, and leaves no file behind.
#include <gtest/gtest.h>

#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/zip_builder.h"

namespace {
struct LimitCase {
  const char* what;
  ZipEntryFields entry;
  uint64_t declared;
  ResultCode expected;
};

class ZipSizeLimit : public testing::TestWithParam<LimitCase> {};

TEST_P(ZipSizeLimit, StopsAtTheDeclaredSize) {
  ZipEntryFields entry = GetParam().entry;
  entry.size = GetParam().declared;
  ScratchDir dir;
  WriteBytes(dir.Path("a.zip"), ZipArchive({entry}));
  for (uint32_t testFlag : {1u, 0u}) {
    WalkOptions walk;
    walk.testFlag = testFlag;
    EXPECT_EQ(WalkArchive(dir.Path("a.zip"), dir.Path("out"), walk), GetParam().expected) << testFlag;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out") / "m"));
}

const Bytes kMiB(1 << 20, 'z');
const LimitCase kLimitCases[] = {
    {"deflated member larger than declared", DeflatedEntry("m", kMiB), 100, kResultFormat},
    {"stored member larger than declared", StoredEntry("m", kMiB), 100, kResultFormat},
    {"declared one byte short", DeflatedEntry("m", kMiB), (1 << 20) - 1, kResultFormat},
    // Smaller than declared: the stream ends early, the size check after it says so.
    {"deflated member smaller than declared", DeflatedEntry("m", kMiB), (1 << 20) + 1, kResultChecksum},
};
INSTANTIATE_TEST_SUITE_P(Zip, ZipSizeLimit, testing::ValuesIn(kLimitCases), CaseName());
}  // namespace
