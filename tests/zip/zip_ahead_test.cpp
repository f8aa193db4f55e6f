// A batch whose members are deflated ahead by workers writes the very bytes a batch of lone
// appends writes, stops where it would stop, and a failing write leaves a ZIP that tests whole.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include "core/append.h"
#include "core/append_ahead.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/fault_sweep.h"
#include "support/source_files.h"
#include "support/zip_builder.h"
#include "zip/zip_append.h"
#include "zip/zip_header.h"

namespace {
constexpr uint32_t kSerial = 0;
const Bytes kEmptyZip = ZipArchive({});

struct Source {
  const char* name;  // also the stored name; a source without bytes is not made
  std::optional<Bytes> bytes;
};

// Sources around each way a member can go: empty, stored, deflated, held whole by a worker
// or too large for one, and missing.
const Bytes kSmallText = Text(5000);
const std::vector<Source> kMixed = {
    {"empty", Bytes{}},
    {"one", BytesOf("x")},
    {"text", kSmallText},
    {"noise", Pattern(300000)},
    {"held-whole", Text(kMaxPreparedSource, 3)},
    {"too-large-to-hold", Text(kMaxPreparedSource + 1, 5)},
    {"more-noise", Pattern(70000, 2)},
    {"last", Text(123457, 7)},
};
// The same ways without the large sources, for the slow level and the fault sweep.
const std::vector<Source> kSmall = {
    {"empty", Bytes{}}, {"one", BytesOf("x")}, {"text", kSmallText}, {"noise", Pattern(30000)}, {"last", Text(123457, 7)}};

class ZipAhead : public testing::Test {
 protected:
  void MakeSources(const std::vector<Source>& sources) {
    for (const Source& s : sources)
      if (s.bytes) WriteBytes(dir.Path(s.name), *s.bytes);
  }
  // The batch into a fresh empty ZIP (or one open) at `level`, with that many workers
  // (kSerial: none); `before` runs ahead of each file's turn.
  ResultCode Batch(const std::vector<Source>& sources, uint32_t level, uint32_t workers,
                   const std::function<void(ArchiveContext*, size_t)>& before = nullptr) {
    WriteBytes(Zip(), kEmptyZip);
    ListingContext l(Zip());
    if (l.Open() != kResultOk) return kResultNotArchive;
    return Batch(&l.context, sources, level, workers, before);
  }
  ResultCode Batch(ArchiveContext* c, const std::vector<Source>& sources, uint32_t level, uint32_t workers,
                   const std::function<void(ArchiveContext*, size_t)>& before = nullptr) {
    c->compressionLevel = level;
    BeginAppendBatch(c);
    StartAppendAhead(c, workers);
    ResultCode r = kResultOk;
    for (size_t i = 0; i < sources.size() && r == kResultOk; ++i) {
      if (before) before(c, i);
      const std::u16string name(sources[i].name, sources[i].name + std::strlen(sources[i].name));
      r = AppendFileAhead(c, Wide(dir.Path(sources[i].name)).c_str(), name.c_str());
    }
    const ResultCode end = EndAppendBatch(c);
    return r != kResultOk ? r : end;
  }
  std::filesystem::path Zip() const { return dir.Path("a.zip"); }
  ScratchDir dir;
};

struct SameBytesCase {
  const char* what;
  uint32_t level;
  uint32_t workers;
  const std::vector<Source>* sources;
};
class ZipAheadSameBytes : public ZipAhead, public testing::WithParamInterface<SameBytesCase> {};

TEST_P(ZipAheadSameBytes, AsLoneAppendsWriteThem) {
  const std::vector<Source>& sources = *GetParam().sources;
  MakeSources(sources);
  ASSERT_EQ(Batch(sources, GetParam().level, kSerial), kResultOk);
  const Bytes serial = ReadBytes(Zip());
  ASSERT_EQ(Batch(sources, GetParam().level, GetParam().workers), kResultOk);
  EXPECT_EQ(ReadBytes(Zip()), serial);
  const Listing listed = ListBytes(serial, "check.zip");
  ASSERT_EQ(listed.members.size(), sources.size());
  EXPECT_EQ(listed.verdict, kResultOk);
}
INSTANTIATE_TEST_SUITE_P(ZipAhead, ZipAheadSameBytes,
                         testing::Values(SameBytesCase{"fast_two_workers", kCompressFast, 2, &kMixed},
                                         SameBytesCase{"normal_two_workers", kCompressNormal, 2, &kMixed},
                                         SameBytesCase{"best_three_workers", kCompressBest, 3, &kSmall},
                                         SameBytesCase{"more_workers_than_allowed", kCompressFast, 64, &kMixed}),
                         CaseName());

// Where a lone append would stop, the batch stops: later files are not appended, whatever
// the workers made of them. A cancel also drops what was queued and not yet written.
struct StopCase {
  const char* what;
  std::vector<Source> sources;
  std::function<void(ArchiveContext*, size_t)> before;
  ResultCode expected;
  size_t appendedAlone, appendedAhead;
};
void CancelBeforeThird(ArchiveContext* c, size_t i) {
  if (i == 2) c->jobState = kJobCancelling;
}
const StopCase kStops[] = {
    {"a_missing_source", {{"a", BytesOf("a")}, {"gone", std::nullopt}, {"c", BytesOf("c")}}, nullptr, kResultOpen, 1, 1},
    {"a_cancel", {{"a", kSmallText}, {"b", kSmallText}, {"c", kSmallText}, {"d", kSmallText}}, CancelBeforeThird,
     kResultCancelled, 2, 0},
};
class ZipAheadStops : public ZipAhead, public testing::WithParamInterface<StopCase> {};

TEST_P(ZipAheadStops, WhereLoneAppendsStop) {
  const StopCase& c = GetParam();
  MakeSources(c.sources);
  ASSERT_EQ(Batch(c.sources, kCompressNormal, kSerial, c.before), c.expected);
  const Bytes alone = ReadBytes(Zip());
  ASSERT_EQ(Batch(c.sources, kCompressNormal, 2, c.before), c.expected);
  const Bytes ahead = ReadBytes(Zip());
  if (c.appendedAlone == c.appendedAhead) {
    EXPECT_EQ(ahead, alone);
  }
  for (const auto& [bytes, count] : {std::pair{alone, c.appendedAlone}, std::pair{ahead, c.appendedAhead}}) {
    const Listing listed = ListBytes(bytes, "check.zip");
    EXPECT_EQ(listed.members.size(), count);
    EXPECT_EQ(listed.verdict, kResultOk);
  }
}
INSTANTIATE_TEST_SUITE_P(ZipAhead, ZipAheadStops, testing::ValuesIn(kStops), CaseName());

// Data a worker made of a source that has changed since are not written: the source is.
TEST_F(ZipAhead, DataOfAnEarlierSourceAreNotWritten) {
  WriteBytes(dir.Path("src"), Text(20000));
  PreparedData early{};
  std::atomic<uint32_t> running{kJobRunning};
  PrepareZipData(Wide(dir.Path("src")).c_str(), kCompressNormal, &running, &early);
  ASSERT_TRUE(early.ready);
  EXPECT_EQ(early.method, kZipMethodDeflate);
  WriteBytes(dir.Path("src"), Text(20001, 3));
  std::vector<Bytes> made;
  for (const PreparedData* prepared : {static_cast<const PreparedData*>(nullptr), static_cast<const PreparedData*>(&early)}) {
    WriteBytes(Zip(), kEmptyZip);
    {
      ListingContext l(Zip());
      ASSERT_EQ(l.Open(), kResultOk);
      l.context.prepared = prepared;
      ASSERT_EQ(AppendFile(&l.context, Wide(dir.Path("src")).c_str(), u"src"), kResultOk);
      l.context.prepared = nullptr;
    }
    made.push_back(ReadBytes(Zip()));
  }
  FreePreparedData(&early);
  EXPECT_EQ(made[1], made[0]);
  EXPECT_EQ(WalkArchive(Zip(), dir.Path("out"), {}), kResultOk);
}

// Each write, seek and cut of a batch with workers fails once in turn: the members before
// the failure stay, and the ZIP opens writable and tests whole.
TEST_F(ZipAhead, EachFailingCallLeavesAZipThatTestsWhole) {
  MakeSources(kSmall);
  std::optional<ListingContext> l;
  const uint32_t failures = FailEachCallOnce(
      {{kFaultWrite, kResultWrite}, {kFaultSeek, kResultRead}, {kFaultTruncate, kResultWrite}},
      [&] {
        l.reset();
        WriteBytes(Zip(), kEmptyZip);
        l.emplace(Zip());
        ASSERT_EQ(l->Open(), kResultOk);
      },
      [&] {
        const ResultCode r = Batch(&l->context, kSmall, kCompressFast, 2);
        l.reset();
        return r;
      },
      [&](const FaultShot& shot, ResultCode r) {
        // A seek that fails while the batch's end is written is reported as the write it stopped.
        EXPECT_TRUE(r == shot.expected || r == kResultWrite) << r;
        const Listing listed = ListBytes(ReadBytes(Zip()), "check.zip");
        EXPECT_EQ(listed.openMode, kModeReadWrite);
        EXPECT_EQ(listed.verdict, kResultOk);
        for (size_t i = 0; i < listed.members.size(); ++i) EXPECT_EQ(listed.members[i].name, kSmall[i].name);
      });
  EXPECT_GE(failures, 2 * kSmall.size());
}
}  // namespace
