// Appending to QBX and TAR archives, and undoing failed appends and additions in every format we write.
#include <gtest/gtest.h>

#include <optional>

#include "core/append.h"
#include "core/archive.h"
#include "core/filetime.h"
#include "core/progress.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/fault_sweep.h"
#include "support/source_files.h"
#include "support/zip_builder.h"
#include "zip/zip_pieces.h"

namespace {
using Append = AppendTest;

// qbxGrowth: bytes a QBX grows by; tarGrowth: bytes a TAR gains before its end blocks.
struct SizeCase { const char* what; size_t size; uint64_t qbxGrowth, tarGrowth; };
const SizeCase kSizes[] = {
    {"empty", 0, 512, 512},
    {"one byte", 1, 517, 1024},
    {"one buffer", 262144, 512 + 262144 + 4, 512 + 262144},
    {"one buffer and a byte", 262145, 512 + 262145 + 4, 512 + 262144 + 512},
};
class AppendSize : public Append, public testing::WithParamInterface<SizeCase> {};

TEST_P(AppendSize, GrowsEitherFormatByHeaderDataAndItsEnd) {
  const SizeCase& c = GetParam();
  SetSource(Pattern(c.size));
  for (const bool tar : {false, true}) {
    SCOPED_TRACE(tar ? "TAR" : "QBX");
    const std::filesystem::path path = dir.Path(tar ? "a.tar" : "a.qbx");
    const uint64_t growth = tar ? c.tarGrowth : c.qbxGrowth, end = tar ? 1024 : 0;
    {
      ListingContext l(path);
      ASSERT_EQ(l.Open(1), kResultOk);
      ASSERT_EQ(AppendSource(l, u"dir/src.bin"), kResultOk);
      ASSERT_EQ(AppendSource(l, u"again"), kResultOk);  // each one is collected
      EXPECT_EQ(l.context.appendOffset, 2 * growth);
      EXPECT_EQ(l.context.fileSize, 2 * growth + end);
      EXPECT_EQ(l.context.memberCount, 2u);
      EXPECT_EQ(l.offsets[1], growth);
      ASSERT_EQ(l.members.size(), 2u);
      EXPECT_EQ(l.members[0].entry.size, c.size);
      EXPECT_EQ(l.members[0].entry.modified, kSourceTime);
    }
    const Bytes archive = ReadBytes(path);
    ASSERT_EQ(archive.size(), 2 * growth + end);
    EXPECT_EQ(Bytes(archive.end() - end, archive.end()), Bytes(end, 0));
  }
}
INSTANTIATE_TEST_SUITE_P(Append, AppendSize, testing::ValuesIn(kSizes), CaseName());

// TAR names that do not fit the name field go into a pax record whole; a character that one
// byte cannot hold makes the name UTF-8; QBX cuts at its 256-byte field. TAR keeps whole
// seconds, and a time before 1970 as 0 rather than a wrapped value. GNU tar and bsdtar read
// the records back in tar_roundtrip.sh.
// nameField: the first bytes of the member's own name field.
struct NameCase {
  const char* what; const char* archive; uint32_t codePage; std::u16string name, shown; std::string nameField;
  uint64_t time, listedTime;
};
const uint64_t kLate = UnixToFileTime(1600000005) + 5;
const NameCase kNames[] = {
    {"long TAR name", "a.tar", 65001, std::u16string(150, u'n'), std::u16string(150, u'n'), std::string(99, 'n'), kLate,
     UnixToFileTime(1600000005)},
    {"TAR name in UTF-8 and a time before 1970", "c.tar", 0, std::u16string(100, u'\u20AC'),
     std::u16string(100, u'\u20AC'), "\xE2\x82\xAC", UnixToFileTime(0) - 3600 * kFileTimeTicksPerSecond, UnixToFileTime(0)},
    {"TAR name one byte per character", "e.tar", 0, u"Gr\u00FC\u00DFe", u"Gr\u00FC\u00DFe", "Gr\xFC\xDF" "e", kLate,
     UnixToFileTime(1600000005)},
    {"QBX name cut at its field", "d.qbx", 65001, std::u16string(100, u'\u20AC'), std::u16string(85, u'\u20AC'),
     "\xE2\x82\xAC", kLate, kLate},
};
class AppendName : public Append, public testing::WithParamInterface<NameCase> {};

TEST_P(AppendName, IsStoredWithItsTime) {
  const NameCase& c = GetParam();
  SetSource({}, c.time);
  {
    ListingContext l(dir.Path(c.archive), c.codePage);
    ASSERT_EQ(l.Open(1), kResultOk);
    ASSERT_EQ(AppendSource(l, c.name.c_str()), kResultOk);
  }
  ListingContext again(dir.Path(c.archive), c.codePage);
  ASSERT_EQ(again.Open(), kResultOk);
  ASSERT_EQ(again.members.size(), 1u);
  EXPECT_EQ(again.members[0].name, Utf8Of(c.shown));
  EXPECT_EQ(NameOf(again.members[0].entry).substr(0, c.nameField.size()), c.nameField);
  EXPECT_EQ(again.members[0].entry.modified, c.listedTime);
}
INSTANTIATE_TEST_SUITE_P(Append, AppendName, testing::ValuesIn(kNames), CaseName());

// A TAR as GNU tar writes it: one member, then zero blocks up to a 10240-byte record.
Bytes PaddedTar() { return Joined({TarBytes({{{"m", 1}, BytesOf("1")}}), Bytes(10240 - 2048, 0)}); }

// A small add ends a record-padded TAR right behind its new end blocks: nothing of the old
// padding may stay behind them.
TEST_F(Append, ASmallAddCutsThePaddingBehindIt) {
  SetSource(BytesOf("data"));
  WriteBytes(dir.Path("a.tar"), PaddedTar());
  {
    ListingContext l(dir.Path("a.tar"));
    ASSERT_EQ(l.Open(), kResultOk);
    ASSERT_EQ(AppendSource(l, u"second"), kResultOk);
  }
  EXPECT_EQ(ReadBytes(dir.Path("a.tar")).size(), 4u * 512 + 1024);
}

// Within a folder's batch the volume's free space is asked again after a second: a volume
// that filled up meanwhile stops the next file.
TEST_F(Append, ABatchAsksForTheFreeSpaceAgain) {
  SetSource(BytesOf("data"));
  WriteBytes(dir.Path("a.tar"), TarBytes({}));
  ListingContext l(dir.Path("a.tar"));
  ASSERT_EQ(l.Open(), kResultOk);
  BeginAppendBatch(&l.context);
  EXPECT_EQ(AppendSource(l, u"first"), kResultOk);
  ArmFault(kFaultVolumeFull, 1);
  AdvanceTicks(1001);
  EXPECT_EQ(AppendSource(l, u"second"), kResultDiskFull);
  DisarmFaults();
  EXPECT_EQ(EndAppendBatch(&l.context), kResultDiskFull);
  EXPECT_EQ(l.context.memberCount, 1u);
}

TEST_F(Append, RefusalsLeaveTheArchiveAlone) {
  SetSource(BytesOf("data"));
  {
    // A sparse file: 8 GiB long without using the space; a TAR size field holds less.
    FileHandle f = FileOpen(Wide(dir.Path("huge")).c_str(), kAccessReadWrite, kShareNone, kCreateAlways);
    ASSERT_NE(f, kInvalidFile);
    ASSERT_TRUE(FileSeek(f, int64_t{1} << 33, kSeekBegin, nullptr));
    ASSERT_TRUE(FileTruncate(f));
    FileClose(f);
  }
  const std::u16string missing = Wide(dir.Path("missing")), huge = Wide(dir.Path("huge"));
  struct Case { const char* what; const char16_t* source; ResultCode expected; FaultOp fault; uint32_t memberCount; };
  const Case cases[] = {
      {"missing source", missing.c_str(), kResultOpen, kFaultOpCount, 0},
      {"no source", nullptr, kResultOpen, kFaultOpCount, 0},
      {"source of 8 GiB", huge.c_str(), kResultLimit, kFaultOpCount, 0},
      {"member count at its limit", src.c_str(), kResultLimit, kFaultOpCount, kMaxMembers},
      {"free space unknown", src.c_str(), kResultDiskFull, kFaultFreeSpace, 0},
  };
  const Bytes padded = PaddedTar();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir.Path("a.tar"), padded);
    {
      ListingContext l(dir.Path("a.tar"));
      ASSERT_EQ(l.Open(), kResultOk);
      if (c.memberCount != 0) l.context.memberCount = c.memberCount;
      if (c.fault != kFaultOpCount) ArmFault(c.fault, 1);
      EXPECT_EQ(AppendFile(&l.context, c.source, u"x"), c.expected);
      DisarmFaults();
      l.context.memberCount = 0;
    }
    EXPECT_EQ(ReadBytes(dir.Path("a.tar")), padded);
  }
}

// A failed or cancelled append and a revert are cut away again, byte for byte, from our
// archives, GNU tar's padded one and ZIPs (the old central directory back where the new member
// began); the archive then still takes a member.
const std::vector<ZipEntryFields> kZipped = {StoredEntry("a.txt", BytesOf("hello\n")),
                                             DeflatedEntry("b/c.bin", Pattern(5000))};
// A small source is written with its header and end in one call; the failing calls counted
// are the least that shows each write and seek was met.
struct Original {
  const char* what;
  const char* file;
  Bytes bytes;
  Bytes source = Pattern(600000);
  uint32_t calls = 6;
  uint32_t pieceWorkers = 0;
};
const Original kOriginals[] = {
    {"QBX", "a.qbx", QbxBytes({{"first", BytesOf("1")}})},
    {"QBX, small member in one write", "a.qbx", QbxBytes({{"first", BytesOf("1")}}), Pattern(700), 3},
    {"TAR", "a.tar", TarBytes({{{"first", 1}, BytesOf("1")}})},
    {"TAR, small member in one write", "a.tar", TarBytes({{{"first", 1}, BytesOf("1")}}), Pattern(700), 3},
    {"GNU tar padded", "gnu.tar", PaddedTar()},
    {"empty ZIP, noise stored as it is read", "a.zip", ZipArchive({}), Pattern(kZipPieceBytes + 5000)},
    {"ZIP of two, deflated member", "a.zip", ZipWithDirectory(kZipped, {}), Text(600000)},
    {"ZIP member with a descriptor", "a.zip", ZipWithDirectory({Streamed(kZipped[0], Descriptor::Plain)}, {})},
    {"ZIP member deflated in pieces on two threads", "a.zip", ZipArchive({}), Text(2 * kZipPieceBytes + 5000), 8, 2},
    {"ZIP, noise stored as it is read on two threads", "a.zip", ZipArchive({}), Pattern(3 * kZipPieceBytes), 6, 2},
};

class AppendUndo : public Append, public testing::WithParamInterface<Original> {
 protected:
  void SetUp() override { SetSource(GetParam().source); }
  // The original in place again and opened.
  ListingContext& Reopen() {
    l.reset();
    WriteBytes(dir.Path(GetParam().file), GetParam().bytes);
    l.emplace(dir.Path(GetParam().file));
    EXPECT_EQ(l->Open(), kResultOk);
    EXPECT_EQ(l->context.openMode, kModeReadWrite);
    l->context.pieceWorkers = GetParam().pieceWorkers;
    count = l->context.memberCount;
    offset = l->context.appendOffset;
    return *l;
  }
  void ExpectUntouched(ResultCode got, ResultCode expected) {
    EXPECT_EQ(got, expected);
    EXPECT_EQ(l->context.memberCount, count);
    EXPECT_EQ(l->context.appendOffset, offset);
    EXPECT_EQ(l->context.fileSize, GetParam().bytes.size());
    EXPECT_EQ(l->context.appendPending, 0u);
    EXPECT_EQ(ReadOpenArchive(l->context), GetParam().bytes);
  }
  // The same open archive still takes a member, and lists all of them afterwards.
  void ExpectStillGrows() {
    ASSERT_EQ(AppendSource(*l, u"after"), kResultOk);
    l.reset();
    ListingContext again(dir.Path(GetParam().file));
    ASSERT_EQ(again.Open(), kResultOk);
    EXPECT_EQ(again.context.openMode, kModeReadWrite);
    ASSERT_EQ(again.members.size(), count + 1u);
    EXPECT_EQ(again.members.back().name, "after");
  }
  std::optional<ListingContext> l;
  uint32_t count = 0;
  uint64_t offset = 0;
};

// Every write, seek, truncation and source read fails once in turn.
TEST_P(AppendUndo, EachFailingCallIsCutAway) {
  const uint32_t failures = FailEachCallOnce(
      {{kFaultWrite, kResultWrite}, {kFaultSeek, kResultRead}, {kFaultTruncate, kResultWrite}, {kFaultRead, kResultRead}},
      [&] { Reopen(); }, [&] { return AppendSource(*l, u"second"); },
      [&](const FaultShot& shot, ResultCode r) {
        ExpectUntouched(r, shot.expected);
        if (shot.nth == 1) ExpectStillGrows();
      });
  EXPECT_GE(failures, GetParam().calls);  // header, data, patch, directory: each write and seek was met
}

TEST_P(AppendUndo, ACancelAndARevertAreCutAway) {
  Reopen().context.jobState = kJobCancelling;
  ExpectUntouched(AppendSource(*l, u"second"), kResultCancelled);
  // Revert takes back what was appended since the archive was opened.
  Reopen();
  ASSERT_EQ(AppendSource(*l, u"new1"), kResultOk);
  ASSERT_EQ(AppendSource(*l, u"new2"), kResultOk);
  ASSERT_NE(ReadOpenArchive(l->context), GetParam().bytes);
  ExpectUntouched(RevertAdditions(&l->context, count, offset), kResultOk);
  ExpectStillGrows();
}

#ifndef _WIN32
// Grows or shrinks between the size check and the copy's end (the progress report after the
// first block, or a ZIP's first piece, changes it). Windows keeps writers out of a source
// being read.
TEST_P(AppendUndo, ASourceChangingSizeIsCutAway) {
  static std::filesystem::path sChanged;
  static size_t sSize;
  sChanged = dir.Path("src");
  const size_t size = kZipPieceBytes + 600000;
  for (size_t changed : {size + 100000, size_t{300000}}) {
    SCOPED_TRACE(changed);
    SetSource(Pattern(size));
    sSize = changed;
    Reopen().context.onProgress = [](const ProgressBlock* b) {
      if (b->doneBytes > 0) std::filesystem::resize_file(sChanged, sSize);
    };
    ExpectUntouched(AppendSource(*l, u"second"), kResultChecksum);
  }
}
#endif
INSTANTIATE_TEST_SUITE_P(Append, AppendUndo, testing::ValuesIn(kOriginals), CaseName());
}  // namespace
