// The walks' read-ahead hands out exactly the file's bytes, whatever mix of small reads,
// large reads and skips asks for them, and leaves the file where the reads got to.
#include <gtest/gtest.h>

#include <random>

#include "core/archive.h"
#include "core/read_ahead.h"
#include "formats/formats.h"
#include "support/case_name.h"
#include "support/test_files.h"

namespace {
struct ReadAheadCase {
  const char* what;
  uint32_t largestRead;
  uint32_t largestSkip;
};

class ReadAheadWalk : public testing::TestWithParam<ReadAheadCase> {};

TEST_P(ReadAheadWalk, GivesTheFilesBytes) {
  const ReadAheadCase& c = GetParam();
  ScratchDir dir;
  Bytes file(3 * kReadAheadSize + 1000);
  std::mt19937 random(5);
  for (uint8_t& b : file) b = static_cast<uint8_t>(random());
  WriteBytes(dir.Path("a"), file);
  const std::u16string path = Wide(dir.Path("a"));
  ArchiveContext context;
  InitArchiveContext(&context, AllFormatTable());
  context.archiveFile = FileOpen(path.c_str(), kAccessRead, kShareRead, kOpenExisting);
  ASSERT_NE(context.archiveFile, kInvalidFile);
  ASSERT_EQ(BeginReadAhead(&context, 0), kResultOk);
  uint64_t at = 0;
  Bytes got(c.largestRead);
  while (at < file.size()) {
    const uint32_t want = 1 + random() % c.largestRead;
    uint32_t n = 0;
    ASSERT_TRUE(ArchiveRead(&context, got.data(), want, &n));
    ASSERT_EQ(n, std::min<uint64_t>(want, file.size() - at)) << at;
    ASSERT_TRUE(std::equal(got.begin(), got.begin() + n, file.begin() + static_cast<std::ptrdiff_t>(at))) << at;
    at += n;
    const int64_t skip = random() % (c.largestSkip + 1);
    uint64_t position = 0;
    ASSERT_TRUE(ArchiveSkip(&context, skip, &position));
    at += static_cast<uint64_t>(skip);
    ASSERT_EQ(position, at);
  }
  // Off again with bytes still buffered, the file stands where the walk had got to.
  uint8_t byte = 0;
  uint32_t n = 0;
  ASSERT_TRUE(ArchiveSkip(&context, -static_cast<int64_t>(at) + 100, nullptr));
  ASSERT_TRUE(ArchiveRead(&context, &byte, 1, &n));
  EndReadAhead(&context);
  ASSERT_TRUE(FileRead(context.archiveFile, &byte, 1, &n));
  EXPECT_EQ(byte, file[101]);
  CloseArchive(&context);
}

INSTANTIATE_TEST_SUITE_P(Reads, ReadAheadWalk,
                         testing::Values(ReadAheadCase{"headers and small skips", 512, 2048},
                                         ReadAheadCase{"reads larger than the buffer", 3 * kReadAheadSize, 512},
                                         ReadAheadCase{"skips beyond the buffer", 1024, 2 * kReadAheadSize}),
                         CaseName());
}  // namespace
