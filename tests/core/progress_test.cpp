// Progress accounting, the pause and cancel poll, and the walks' read-ahead. Prompt time kept
// out of the working time: JobsExtract.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

#include "core/archive.h"
#include "core/progress.h"
#include "core/read_ahead.h"
#include "formats/formats.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/source_files.h"

namespace {
std::vector<uint64_t> gDone;  // doneBytes of each report
void RecordDone(const ProgressBlock* block) { gDone.push_back(block->doneBytes); }

// Each step reports; a skipped member leaves the total, so what was done becomes all of it.
TEST(Progress, StepsReportAndSkipCorrectsTheTotal) {
  ListingContext f("never opened");
  gDone.clear();
  ProgressBegin(&f.context, 4 * 1048576, RecordDone, 0);
  const ProgressBlock& b = f.context.progress;
  ProgressAdvance(&f.context, 1048576);
  EXPECT_NEAR(b.fraction, 0.25, 1e-6);
  EXPECT_DOUBLE_EQ(b.outMiB, b.doneMiB);
  ProgressAdvanceInOut(&f.context, 1048576, 3 * 1048576);
  EXPECT_NEAR(b.doneMiB, 2.0, 1e-5);
  EXPECT_NEAR(b.outMiB, 4.0, 1e-5);
  ProgressSkip(&f.context, 2 * 1048576);
  EXPECT_NEAR(b.fraction, 1.0, 1e-5);
  EXPECT_EQ(gDone.size(), 4u);
  // An empty archive never divides by zero.
  ProgressBegin(&f.context, 0, nullptr, 0);
  ProgressAdvance(&f.context, 0);
  ProgressSkip(&f.context, 0);
  EXPECT_TRUE(std::isfinite(b.fraction) && std::isfinite(b.remainingSec) && std::isfinite(b.inRate));
}

TEST(WaitWhilePaused, CancelStopsAndPauseCountsItsTime) {
  ListingContext f("never opened");
  f.context.jobState = kJobRunning;
  EXPECT_EQ(WaitWhilePaused(&f.context), kResultOk);
  f.context.jobState = kJobPaused;
  f.context.progress.pausedMs = 0;
  std::thread resume([&] {
    SleepMs(700);
    f.context.jobState = kJobCancelling;
  });
  EXPECT_EQ(WaitWhilePaused(&f.context), kResultCancelled);
  resume.join();
  EXPECT_EQ(f.context.result, kResultCancelled);
  EXPECT_GE(f.context.progress.pausedMs, 500u);
}

// What the walks report, from ProgressBegin on: the listing ends at the file's size, a TAR
// walk counts a member's padding at once, before its data.
TEST(Progress, RealWalksReportTheirBytes) {
  Bytes tar = TarBytes({{{"a", 1}, BytesOf("1")}, {{"b", 700}, Bytes(700, 'b')}});
  tar.resize(10240, 0);  // padded as GNU tar pads
  const Bytes qbx = QbxBytes({{"q", BytesOf("abc")}});
  struct Case { const char* what; const char* file; const Bytes* bytes; int64_t runTotal; std::vector<uint64_t> done; };
  const Case cases[] = {
      {"TAR listing", "a.tar", &tar, 0, {0, 1024, 2560, 10240}},
      {"QBX listing", "a.qbx", &qbx, 0, {0, 519, 519}},
      {"TAR test", "a.tar", &tar, 1536, {0, 511, 512, 836, 1536}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    WriteBytes(dir.Path(c.file), *c.bytes);
    ListingContext l(dir.Path(c.file));
    l.context.onProgress = RecordDone;
    gDone.clear();
    ASSERT_EQ(l.Open(), kResultOk);
    if (c.runTotal != 0) {  // 0: list only
      gDone.clear();
      l.context.onMember = [](ArchiveContext*) -> uint32_t { return 1; };
      ASSERT_EQ(RunMembers(&l.context, c.runTotal, 1), kResultOk);
    }
    EXPECT_EQ(gDone, c.done);
  }
}

// The walks' read-ahead hands out exactly the file's bytes, whatever mix of small reads,
// large reads and skips asks for them, and leaves the file where the reads got to.
struct ReadAheadCase { const char* what; uint32_t largestRead, largestSkip; };
class ReadAheadWalk : public testing::TestWithParam<ReadAheadCase> {};

TEST_P(ReadAheadWalk, GivesTheFilesBytes) {
  const ReadAheadCase& c = GetParam();
  ScratchDir dir;
  const Bytes file = Pattern(3 * kReadAheadSize + 1000, 5);
  std::mt19937 random(5);
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

const ReadAheadCase kReadAheadCases[] = {{"headers and small skips", 512, 2048},
                                         {"reads larger than the buffer", 3 * kReadAheadSize, 512},
                                         {"skips beyond the buffer", 1024, 2 * kReadAheadSize}};
INSTANTIATE_TEST_SUITE_P(Reads, ReadAheadWalk, testing::ValuesIn(kReadAheadCases), CaseName());
}  // namespace
