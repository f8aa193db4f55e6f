// Appending to ZIP archives: what is written reads back, and which archives may grow; a batch
// whose members are deflated ahead by workers writes the very bytes a batch of lone appends
// writes, stops where it would stop, and a failing write leaves a ZIP that tests whole. A
// failed, cancelled or reverted append: AppendUndo.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include "core/append.h"
#include "core/append_ahead.h"
#include "core/archive.h"
#include "core/filetime.h"
#include "core/little_endian.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/fault_sweep.h"
#include "support/source_files.h"
#include "support/zip_builder.h"
#include "zip/zip_append.h"
#include "zip/zip_directory.h"
#include "zip/zip_header.h"
#include "zip/zip_pieces.h"
#include "zip/zip_write_records.h"

namespace {
constexpr uint32_t kListedStored = kAttrZipUtf8 | kAttrZipMethodKnown;
constexpr uint32_t kListedDeflated = kListedStored | kAttrZipCompressed;
constexpr uint32_t kExternalAttributesAt = 38;

class ZipAppend : public AppendTest {
 protected:
  std::filesystem::path Zip() const { return dir.Path("a.zip"); }
};

// Noise whose first piece still gets about 100 bytes smaller (its first block takes 254
// byte values of 256): the member is deflated until its data would reach the source's size
// (stored blocks cost 5 bytes in 64 KiB), then stored after all by reading the source again.
Bytes NoiseBehindAPieceThatShrinks() {
  Bytes b = Pattern(kZipPieceBytes, 9);
  std::for_each(b.begin(), b.begin() + 131070, [](uint8_t& x) { x = static_cast<uint8_t>(x % 254); });
  const Bytes noise = Pattern(3 * kZipPieceBytes, 10);
  b.insert(b.end(), noise.begin(), noise.end());
  return b;
}

// Stored or deflated: a member is deflated only when that makes it smaller, whether the
// source fits one piece of the encoder's or spans several. Data whose first piece does not
// get smaller are stored as they are read: the source is read sourceReads times at most
// (each piece, and once more to find its end); 0: not counted.
struct RoundTripCase {
  const char* what;
  Bytes content;
  std::u16string name;
  uint32_t level;
  uint16_t method;
  uint32_t sourceReads = 0;
};
const RoundTripCase kRoundTrips[] = {
    {"empty file", {}, u"empty", kCompressNormal, kZipMethodStore},
    {"text deflated normal", Text(300000), u"t/normal.txt", kCompressNormal, kZipMethodDeflate},
    {"text deflated best", Text(1000), u"t/best.txt", kCompressBest, kZipMethodDeflate},
    {"noise in one piece", Pattern(1000), u"noise.bin", kCompressNormal, kZipMethodStore, 2},
    {"text of exactly one piece", Text(kZipPieceBytes), u"one-piece.txt", kCompressFast, kZipMethodDeflate},
    {"text one byte into a second piece", Text(kZipPieceBytes + 1), u"two-pieces.txt", kCompressFast, kZipMethodDeflate},
    {"noise in several pieces", Pattern(3 * kZipPieceBytes + 5), u"noise.bin", kCompressFast, kZipMethodStore, 5},
    {"noise behind a piece that shrinks, read again", NoiseBehindAPieceThatShrinks(), u"n.bin", kCompressFast,
     kZipMethodStore},
    {"one byte", BytesOf("x"), u"x", kCompressNormal, kZipMethodStore},
    {"UTF-8 name", BytesOf("na\xC3\xAFve\n"), u"sub/na\u00EFve \u20AC.txt", kCompressNormal, kZipMethodStore},
};
class ZipRoundTrip : public ZipAppend, public testing::WithParamInterface<RoundTripCase> {};

TEST_P(ZipRoundTrip, ReadsBackWhatWasWritten) {
  const RoundTripCase& c = GetParam();
  SetSource(c.content);
  {
    ListingContext l(Zip());
    ASSERT_EQ(l.Open(1), kResultOk);
    l.context.compressionLevel = c.level;
    if (c.sourceReads != 0) ArmFault(kFaultRead, c.sourceReads + 1);
    const ResultCode first = AppendSource(l, c.name.c_str());
    DisarmFaults();
    ASSERT_EQ(first, kResultOk);
    ASSERT_EQ(AppendSource(l, u"second"), kResultOk);
    ASSERT_EQ(l.members.size(), 2u);
    EXPECT_EQ(l.members[0].entry.method, c.method);
  }
  {
    ListingContext again(Zip());
    ASSERT_EQ(again.Open(), kResultOk);
    EXPECT_EQ(again.context.openMode, kModeReadWrite);
    ASSERT_EQ(again.members.size(), 2u);
    const EntryRecord& e = again.members[0].entry;
    EXPECT_EQ(again.members[0].name, Utf8Of(c.name));
    EXPECT_EQ(e.size, c.content.size());
    EXPECT_EQ(e.method, c.method);
    EXPECT_EQ(e.attributes, c.method == kZipMethodStore ? kListedStored : kListedDeflated);
    EXPECT_TRUE(c.method == kZipMethodStore ? static_cast<uint64_t>(e.packedSize) == c.content.size()
                                            : static_cast<uint64_t>(e.packedSize) < c.content.size() / 2);
    EXPECT_EQ(e.modified, kSourceTime);  // whole seconds from the extended timestamp
    EXPECT_EQ(again.members[1].offset, again.members[0].offset + 30 + Utf8Of(c.name).size() + 9 +
                                           static_cast<uint64_t>(e.packedSize));
  }
  ASSERT_EQ(WalkArchive(Zip(), dir.Path("x"), kExtract), kResultOk);
  const std::filesystem::path extracted = dir.Path("x") / std::filesystem::path(c.name);
  EXPECT_EQ(ReadBytes(extracted), c.content);
  EXPECT_EQ(FileTimeOf(extracted), kSourceTime);
}
INSTANTIATE_TEST_SUITE_P(ZipAppend, ZipRoundTrip, testing::ValuesIn(kRoundTrips), CaseName());

// Windows attributes go into the external attributes, the DOS fields hold local time (UTC
// here) in two-second steps.
TEST_F(ZipAppend, CentralRecordKeepsAttributesAndDosTime) {
  SetSource(BytesOf("data"), UnixToFileTime(1614834309));  // 2021-03-04 05:05:09
  std::filesystem::permissions(dir.Path("src"), std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  uint64_t directory = 0;
  {
    ListingContext l(Zip());
    ASSERT_EQ(l.Open(1), kResultOk);
    ASSERT_EQ(AppendSource(l, u"ro"), kResultOk);
    directory = l.context.appendOffset;
  }
  const Bytes a = ReadBytes(Zip());
  const uint8_t* central = a.data() + directory;
  ASSERT_EQ(Le32(central), kZipCentralSignature);
  EXPECT_EQ(Le32(central + kExternalAttributesAt), kAttrReadOnly | kAttrArchive);
  EXPECT_EQ(Le16(central + 8), kZipFlagUtf8);
  EXPECT_EQ(Le16(central + 12), 0x28A4);  // 05:05:08
  EXPECT_EQ(Le16(central + 14), 0x5264);  // 2021-03-04
  EXPECT_EQ(Le16(a.data() + 12), 0x5264);  // the local header says the same
}

// ZIP64 fields appear exactly for the values that do not fit 32 bits, in the note's order.
// centralValues: 8-byte values in the central ZIP64 field.
struct Zip64Case { const char* what; uint64_t size, compressed, offset; uint32_t centralValues; bool localZip64; };
const Zip64Case kZip64Cases[] = {
    {"small", 10, 5, 100, 0, false},
    {"size just below", 0xFFFFFFFE, 0x1000, 0, 0, false},
    {"size at the mark", 0xFFFFFFFF, 0x1000, 0, 1, true},
    {"large size and data", 5ULL << 30, 9ULL << 29, 0, 2, true},
    {"large offset only", 10, 5, 6ULL << 30, 1, false},
    {"all three", 5ULL << 30, 5ULL << 30, 7ULL << 30, 3, true},
};
class ZipRecords : public testing::TestWithParam<Zip64Case> {};

TEST_P(ZipRecords, Zip64FieldsCarryWhatDoesNotFit) {
  const Zip64Case& c = GetParam();
  const uint8_t name[] = "n";
  const ZipWrittenMember m{name, 1, kZipMethodDeflate, 0x12345678, c.compressed, c.size, kSourceTime, 0x20, c.offset};
  uint8_t central[kMaxZipCentralRecord], local[kMaxZipCentralRecord];
  const uint32_t centralLength = BuildZipCentralRecord(m, central);
  const uint32_t extraLength = Le16(central + 30);
  EXPECT_EQ(centralLength, kZipCentralFixed + 1 + extraLength);
  EXPECT_EQ(extraLength, 9 + (c.centralValues ? 4 + 8 * c.centralValues : 0));
  // The reader's own widening gives the values back.
  uint64_t size = Le32(central + 24), compressed = Le32(central + 20), offset = Le32(central + 42);
  ASSERT_TRUE(WidenFromZip64(central + kZipCentralFixed + 1, extraLength, &size, &compressed, &offset));
  EXPECT_EQ(size, c.size);
  EXPECT_EQ(compressed, c.compressed);
  EXPECT_EQ(offset, c.offset);
  EXPECT_EQ(Le16(central + 6), c.localZip64 || c.centralValues ? 45 : 20);
  const uint32_t localLength = BuildZipLocalHeader(m, local);
  EXPECT_EQ(localLength, kZipLocalFixed + 1 + 9 + (c.localZip64 ? 20 : 0));
  if (c.localZip64) {
    EXPECT_EQ(Le32(local + 18), kSize32Unknown);
    EXPECT_EQ(Le32(local + 22), kSize32Unknown);
    EXPECT_EQ(Le64(local + kZipLocalFixed + 1 + 9 + 4), c.size);
    EXPECT_EQ(Le64(local + kZipLocalFixed + 1 + 9 + 12), c.compressed);
  } else {
    EXPECT_EQ(Le32(local + 22), c.size);
  }
}
INSTANTIATE_TEST_SUITE_P(ZipAppend, ZipRecords, testing::ValuesIn(kZip64Cases), CaseName());

TEST(ZipEndRecords, Zip64EndRecordsOnlyWhenAValueDoesNotFit) {
  struct Case { uint64_t count, size, offset; uint32_t length; };
  const Case cases[] = {{0, 0, 0, 22}, {65534, 0xFFFFFFFE, 0xFFFFFFFE, 22}, {65535, 10, 10, 98},
                        {3, 0xFFFFFFFF, 10, 98}, {3, 10, 5ULL << 32, 98}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    uint8_t out[kMaxZipEndRecords];
    ASSERT_EQ(BuildZipEndRecords(c.count, c.size, c.offset, out), c.length);
    const uint8_t* end = out + c.length - kZipEndFixed;
    EXPECT_EQ(Le32(end), kZipEndSignature);
    if (c.length == kZipEndFixed) {
      EXPECT_EQ(Le16(end + 10), c.count);
      EXPECT_EQ(Le32(end + 16), c.offset);
      continue;
    }
    EXPECT_EQ(Le16(end + 10), 0xFFFF);
    EXPECT_EQ(Le32(end + 12), kSize32Unknown);
    EXPECT_EQ(Le32(out), kZip64EndSignature);
    EXPECT_EQ(Le64(out + 32), c.count);
    EXPECT_EQ(Le64(out + 40), c.size);
    EXPECT_EQ(Le64(out + 48), c.offset);
    EXPECT_EQ(Le32(out + 56), kZip64LocatorSignature);
    EXPECT_EQ(Le64(out + 64), c.offset + c.size);  // where the ZIP64 end record lies
  }
}

// Which ZIP files grow: only those whose end is exactly what we write and whose directory
// points at the members where the walk finds them. The others stay read-only and untouched.
Bytes EndWith(Bytes zip, size_t at, uint16_t value) {
  zip[zip.size() - kZipEndFixed + at] = static_cast<uint8_t>(value);
  zip[zip.size() - kZipEndFixed + at + 1] = static_cast<uint8_t>(value >> 8);
  return zip;
}
const std::vector<ZipEntryFields> kTwo = {StoredEntry("a.txt", BytesOf("hello\n")),
                                          DeflatedEntry("b/c.bin", Pattern(5000))};
Bytes Commented() {
  Bytes a = EndWith(ZipWithDirectory(kTwo, {}), 20, 4);
  return Joined({a, BytesOf("note")});
}
// Bytes between the last member and the directory, the offsets moved past them.
Bytes GapBeforeDirectory(const Bytes& gap) {
  const Bytes a = ZipWithDirectory(kTwo, {});
  const uint32_t directory = Le32(a.data() + a.size() - 6);
  const uint32_t moved = directory + static_cast<uint32_t>(gap.size());
  return EndWith(EndWith(Joined({Cut(a, directory), gap, Bytes(a.begin() + directory, a.end())}), 16, moved), 18, moved >> 16);
}
struct GrowCase { const char* what; Bytes archive; bool writable; };
const GrowCase kGrowCases[] = {
    {"our empty ZIP", ZipArchive({}), true},
    {"clean directory", ZipWithDirectory(kTwo, {}), true},
    {"sizes in descriptors", ZipWithDirectory({Streamed(kTwo[0], Descriptor::Signed), kTwo[1]}, {}), true},
    {"bytes behind the end record", Joined({ZipWithDirectory(kTwo, {}), BytesOf("x")}), false},
    {"comment", Commented(), false},
    {"stub in front", ZipWithDirectory(kTwo, {.stub = BytesOf("MZ stub")}), false},
    {"stub not counted in the offsets", ZipWithDirectory(kTwo, {.stub = BytesOf("MZ"), .stubCounted = false}), false},
    {"gap between members", ZipWithDirectory(kTwo, {.gaps = {{}, BytesOf("gap")}}), false},
    {"gap before the directory", GapBeforeDirectory(BytesOf("gap!")), false},
    // The walk ends at the gap's signature, short of where the end record puts the directory.
    {"directory signature in a gap before it", GapBeforeDirectory(Joined({Le32Bytes(0x02014B50), BytesOf("gap")})), false},
    {"offset off by one", ZipWithDirectory(kTwo, {.offsetErrors = {{1, 1}}}), false},
    {"directory out of order", ZipWithDirectory(kTwo, {.order = {1, 0}}), false},
    {"other writer's ZIP64 end", ZipWithDirectory(kTwo, {.zip64 = true}), false},
    {"disk number", EndWith(ZipWithDirectory(kTwo, {}), 4, 1), false},
    {"directory on another disk", EndWith(ZipWithDirectory(kTwo, {}), 6, 1), false},
    {"count on this disk differs", EndWith(ZipWithDirectory(kTwo, {}), 8, 1), false},
    {"no directory", ZipArchive(kTwo, false), false},
};
class ZipGrowable : public ZipAppend, public testing::WithParamInterface<GrowCase> {};

TEST_P(ZipGrowable, GrowsOnlyWhenItsEndIsOurs) {
  const GrowCase& c = GetParam();
  WriteBytes(Zip(), c.archive);
  SetSource(BytesOf("new member"));
  uint32_t before = 0;
  {
    ListingContext l(Zip());
    ASSERT_EQ(l.Open(), kResultOk);
    EXPECT_EQ(l.context.openMode, c.writable ? kModeReadWrite : kModeReadOnly);
    before = l.context.memberCount;
    EXPECT_EQ(AppendSource(l, u"new"), c.writable ? kResultOk : kResultSave);
  }
  if (!c.writable) {
    EXPECT_EQ(ReadBytes(Zip()), c.archive);
    return;
  }
  const Listing again = ListBytes(ReadBytes(Zip()), "again.zip");
  EXPECT_EQ(again.openMode, kModeReadWrite);
  EXPECT_EQ(again.verdict, kResultOk);
  ASSERT_EQ(again.members.size(), before + 1u);
  EXPECT_EQ(again.members.back().name, "new");
}
INSTANTIATE_TEST_SUITE_P(ZipAppend, ZipGrowable, testing::ValuesIn(kGrowCases), CaseName());

// 65535 members need the ZIP64 end records; an archive ending in ours grows past them.
TEST_F(ZipAppend, GrowsPastTheCountTheEndRecordHolds) {
  constexpr uint32_t kCount = 65535;
  Bytes a, directory;
  uint8_t record[kMaxZipCentralRecord];
  for (uint32_t i = 0; i < kCount; ++i) {
    const std::string name = std::to_string(i);
    const ZipWrittenMember m{reinterpret_cast<const uint8_t*>(name.data()), static_cast<uint32_t>(name.size()),
                             kZipMethodStore, 0, 0, 0, kSourceTime, 0x20, a.size()};
    a.insert(a.end(), record, record + BuildZipLocalHeader(m, record));
    directory.insert(directory.end(), record, record + BuildZipCentralRecord(m, record));
  }
  const uint64_t offset = a.size();
  a.insert(a.end(), directory.begin(), directory.end());
  a.insert(a.end(), record, record + BuildZipEndRecords(kCount, directory.size(), offset, record));
  WriteBytes(Zip(), a);
  SetSource(BytesOf("last"));
  {
    ListingContext l(Zip());
    ASSERT_EQ(l.Open(), kResultOk);
    EXPECT_EQ(l.context.openMode, kModeReadWrite);
    ASSERT_EQ(AppendSource(l, u"last"), kResultOk);
  }
  ListingContext again(Zip());
  ASSERT_EQ(again.Open(), kResultOk);
  EXPECT_EQ(again.context.openMode, kModeReadWrite);
  ASSERT_EQ(again.members.size(), kCount + 1u);
  EXPECT_EQ(again.members.back().name, "last");
}

// A folder add is one batch: members go behind each other with no directory between them,
// and the directory follows the last one, once. A batch whose directory cannot be written
// is cut away, the archive as it was before it.
class ZipBatch : public ZipAppend, public testing::WithParamInterface<bool> {};
TEST_P(ZipBatch, WritesTheDirectoryOnceBehindTheLastMember) {
  const Bytes before = ZipWithDirectory(kTwo, {});
  WriteBytes(Zip(), before);
  SetSource(Text(3000));
  {
    ListingContext l(Zip());
    ASSERT_EQ(l.Open(), kResultOk);
    BeginAppendBatch(&l.context);
    for (const char16_t* name : {u"b1", u"b2", u"b3"}) {
      ASSERT_EQ(AppendSource(l, name), kResultOk);
      EXPECT_EQ(l.context.fileSize, l.context.appendOffset);  // no directory yet
    }
    if (GetParam()) ArmFault(kFaultWrite, 1);
    const ResultCode r = EndAppendBatch(&l.context);
    DisarmFaults();
    if (GetParam()) {
      EXPECT_EQ(r, kResultWrite);
      EXPECT_EQ(l.context.memberCount, 2u);
      EXPECT_EQ(ReadOpenArchive(l.context), before);
      return;
    }
    ASSERT_EQ(r, kResultOk);
  }
  const Listing again = ListBytes(ReadBytes(Zip()), "again.zip");
  EXPECT_EQ(again.openMode, kModeReadWrite);  // it ends as ours do, so it grows on
  ASSERT_EQ(again.members.size(), 5u);
  EXPECT_EQ(again.members.back().name, "b3");
}
INSTANTIATE_TEST_SUITE_P(ZipAppend, ZipBatch, testing::Bool(),
                         [](const auto& info) { return info.param ? "DirectoryWriteFails" : "DirectoryWritten"; });

// ---- Members deflated ahead by workers.

constexpr uint32_t kSerial = 0;
const Bytes kEmptyZip = ZipArchive({});

struct Source { const char* name; std::optional<Bytes> bytes; };  // name: also the stored one; no bytes: not made

// Sources around each way a member can go: empty, stored, deflated, held whole by a worker
// or too large for one (then deflated in pieces on workers of its own), and missing.
const Bytes kSmallText = Text(5000);
const std::vector<Source> kMixed = {
    {"empty", Bytes{}},
    {"one", BytesOf("x")},
    {"text", kSmallText},
    {"noise", Pattern(300000)},
    {"held-whole", Text(kMaxPreparedSource, 3)},
    {"too-large-to-hold", Text(kMaxPreparedSource + 1, 5)},
    {"noise-too-large-to-hold", Pattern(kMaxPreparedSource + 3, 6)},
    {"more-noise", Pattern(70000, 2)},
    {"last", Text(123457, 7)},
};
// The same ways without the large sources, for the slow level and the fault sweep.
const std::vector<Source> kSmall = {
    {"empty", Bytes{}}, {"one", BytesOf("x")}, {"text", kSmallText}, {"noise", Pattern(30000)}, {"last", Text(123457, 7)}};

class ZipAhead : public ZipAppend {
 protected:
  void MakeSources(const std::vector<Source>& sources) {
    for (const Source& s : sources)
      if (s.bytes) WriteBytes(dir.Path(s.name), *s.bytes);
  }
  // The batch into a fresh empty ZIP (or the one open in c) at `level`, with that many
  // workers (kSerial: none); `before` runs ahead of each file's turn.
  ResultCode Batch(const std::vector<Source>& sources, uint32_t level, uint32_t workers,
                   const std::function<void(ArchiveContext*, size_t)>& before = nullptr, ArchiveContext* c = nullptr) {
    std::optional<ListingContext> l;
    if (c == nullptr) {
      WriteBytes(Zip(), kEmptyZip);
      l.emplace(Zip());
      if (l->Open() != kResultOk) return kResultNotArchive;
      c = &l->context;
    }
    c->compressionLevel = level;
    c->pieceWorkers = workers;
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
};

struct SameBytesCase { const char* what; uint32_t level, workers; const std::vector<Source>* sources; };
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

// Data a worker made are the member as the source was when it read them: a change to the
// source since then (another size, other bytes) mixes nothing of it into the member's header.
TEST_F(ZipAhead, DataMadeAheadAreWrittenWithTheFactsTheyWereReadUnder) {
  const Bytes early = Text(20000), later = Text(20001, 3);
  WriteBytes(dir.Path("src"), early);
  PreparedData prepared{};
  std::atomic<uint32_t> running{kJobRunning};
  PrepareZipData(Wide(dir.Path("src")).c_str(), kCompressNormal, &running, &prepared);
  ASSERT_TRUE(prepared.ready);
  EXPECT_EQ(prepared.method, kZipMethodDeflate);
  WriteBytes(dir.Path("src"), later);
  WriteBytes(Zip(), kEmptyZip);
  {
    ListingContext l(Zip());
    ASSERT_EQ(l.Open(), kResultOk);
    l.context.prepared = &prepared;
    ASSERT_EQ(AppendFile(&l.context, Wide(dir.Path("src")).c_str(), u"src"), kResultOk);
    l.context.prepared = nullptr;
  }
  FreePreparedData(&prepared);
  ASSERT_EQ(WalkArchive(Zip(), dir.Path("out"), kExtract), kResultOk);
  EXPECT_EQ(ReadBytes(dir.Path("out") / "src"), early);
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
        const ResultCode r = Batch(kSmall, kCompressFast, 2, nullptr, &l->context);
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
