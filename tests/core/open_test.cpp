// Recognising formats, opening, creating and closing archives, and cutting away the
// incomplete last member an interrupted add leaves, touching nothing else.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

#include "core/archive.h"
#include "core/detect.h"
#include "core/repair.h"
#include "core/result.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace {
Bytes OneMemberTar() { return Joined({TarMember({"m", 1}, BytesOf("1")), Bytes(1024, 0)}); }

Bytes Headed(size_t size, const char* head) {
  Bytes b(size, 0);
  std::memcpy(b.data(), head, std::min(size, std::strlen(head)));
  return b;
}

TEST(DetectFormat, ByExtensionThenByContent) {
  struct Case { const char* name; Bytes content; FormatKind format; };
  const Case cases[] = {
      {"Data.TAR", BytesOf("not even a tar"), kFormatTar},  // extension decides, any case
      {"x.Zip", Bytes(), kFormatZip},
      {"x.gz", Bytes(), kFormatGz},
      {"x.QBX", Bytes(), kFormatQbx},
      {"a.gzip", Headed(11, "\x1F\x8B"), kFormatGz},
      {"tar.bin", OneMemberTar(), kFormatNone},  // TAR only by its extension
      {"pk31", Headed(31, "PK"), kFormatZip},
      {"pk30", Headed(30, "PK"), kFormatNone},
      {"gz10", Headed(10, "\x1F\x8B"), kFormatNone},
      {"q511", Headed(511, "XBQK"), kFormatNone},
      {"q512", Headed(512, "XBQK"), kFormatQbx},
      {"old.files/data", Headed(512, "XBQK"), kFormatQbx},  // the folder's dot is no extension
      {"empty", Bytes(), kFormatNone},
      {"missing", Bytes(), kFormatNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path(c.name).parent_path());
    if (std::string(c.name) != "missing") WriteBytes(dir.Path(c.name), c.content);
    ListingContext l(dir.Path(c.name));
    EXPECT_EQ(DetectFormat(&l.context), c.format == kFormatNone ? kResultNotArchive : kResultOk);
    EXPECT_EQ(l.context.format, c.format);
  }
}

// A code added without a message of its own still shows one; a cancel shows none.
TEST(ResultMessages, ACodeWithoutAMessageOfItsOwnIsAnError) {
  EXPECT_EQ(std::u16string(ResultTitle(static_cast<ResultCode>(99))), u"Error");
  EXPECT_EQ(std::u16string(ResultText(static_cast<ResultCode>(99))), u"Error");
  EXPECT_EQ(ResultTitle(kResultCancelled), nullptr);
}

// A missing TAR is created empty, a ZIP too when asked to, a GZ never. A refused or failed
// open ends closed with its code kept, and closing again is harmless.
TEST(OpenArchive, CreatesOnlyWhatCanGrowAndRefusalsEndClosed) {
  using Prepare = void (*)(ArchiveContext*);
  const Prepare none = [](ArchiveContext*) {};
  struct Case { const char* what; const char* file; uint32_t createFlag; Prepare prepare; ResultCode expected; };
  const Case cases[] = {
      {"missing TAR", "missing.tar", 0, none, kResultOk},       {"missing ZIP created", "new.zip", 1, none, kResultOk},
      {"missing ZIP opened", "new.zip", 0, none, kResultOk},    {"missing GZ created", "new.gz", 1, none, kResultSave},
      {"missing GZ opened", "new.gz", 0, none, kResultOpen},    {"content we do not know", "x.bin", 0, none, kResultNotArchive},
      {"no member callback", "a.tar", 0, [](ArchiveContext* c) { c->onMember = nullptr; }, kResultNoCallback},
      {"no path", "a.tar", 0, [](ArchiveContext* c) { c->archivePath = nullptr; }, kResultOpen},
      {"read fails while listing", "a.tar", 0, [](ArchiveContext*) { ArmFault(kFaultRead, 2); }, kResultRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    WriteBytes(dir.Path("a.tar"), OneMemberTar());
    WriteBytes(dir.Path("x.bin"), BytesOf("nothing we know"));
    const bool missing = !std::filesystem::exists(dir.Path(c.file)), opened = c.expected == kResultOk;
    ListingContext l(dir.Path(c.file));
    c.prepare(&l.context);
    EXPECT_EQ(l.Open(c.createFlag), c.expected);
    DisarmFaults();
    EXPECT_EQ(l.context.result, c.expected);
    EXPECT_EQ(l.context.openMode, opened ? kModeReadWrite : kModeClosed);
    EXPECT_EQ(l.context.archiveFile == kInvalidFile, !opened);
    EXPECT_TRUE(opened || l.context.ioBuffer == nullptr);
    if (missing) { EXPECT_TRUE(l.members.empty() && std::filesystem::exists(dir.Path(c.file)) == opened); }
    CloseArchive(&l.context);
    CloseArchive(&l.context);
    EXPECT_EQ(l.context.archiveFile, kInvalidFile);
  }
  ScratchDir dir;
  ListingContext l(dir.Path("a.tar"));
  EXPECT_EQ(RunMembers(&l.context, 0, 1), kResultOpen);  // nothing open
  l.context.onMember = nullptr;
  EXPECT_EQ(RunMembers(&l.context, 0, 1), kResultNoCallback);
}

TEST(OpenArchive, SecondExclusiveOpenerIsRefusedAndAReaderMakesItReadOnly) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), OneMemberTar());
  {
    ListingContext first(dir.Path("a.tar"));
    ASSERT_EQ(first.Open(), kResultOk);
    EXPECT_EQ(first.context.openMode, kModeReadWrite);
    ListingContext second(dir.Path("a.tar"));
    EXPECT_EQ(second.Open(), kResultOpen);
  }
  std::u16string path = Wide(dir.Path("a.tar"));
  FileHandle reader = FileOpen(path.c_str(), kAccessRead, kShareRead, kOpenExisting);
  ASSERT_NE(reader, kInvalidFile);
  ListingContext l(dir.Path("a.tar"));
  EXPECT_EQ(l.Open(), kResultOk);
  EXPECT_EQ(l.context.openMode, kModeReadOnly);
  EXPECT_EQ(l.members.size(), 1u);
  FileClose(reader);
}

// ---- Cutting away the incomplete last member an interrupted add leaves.

const std::string kLongName = std::string(130, 'l') + "/big.bin";
const Bytes kTarKept = TarMember({"a.txt", 5}, BytesOf("hello"));
const Bytes kQbxKept = QbxBytes({{"a.txt", BytesOf("hello")}});
// Whole, the member an add was copying; the cases keep only what was written of it.
const Bytes kTarBig = TarMember({"big.bin", 100000}, Pattern(100000));
const Bytes kQbxBig = QbxBytes({{"big.bin", Pattern(100000)}});
Bytes TarLongNamed() {
  return Joined({PaxHeader(PaxRecord("path", kLongName)), TarMember({kLongName.substr(0, 99), 100000}, Pattern(100000))});
}

// kept: the members before the incomplete one; torn: what the interrupted add left behind
// them; name: empty when the header itself is cut short. The file's extension gives the format.
struct TornCase {
  const char* what; const char* file; Bytes kept, torn; std::string name; uint64_t claimed;
  bool tar() const { return std::string(file).ends_with(".tar"); }
  // Behind the kept members, a TAR holds its two zero blocks again.
  Bytes Repaired() const { return tar() ? Joined({kept, Bytes(1024, 0)}) : kept; }
};

const TornCase kTorn[] = {
    {"tar cut inside data", "a.tar", kTarKept, Cut(kTarBig, 512 + 2000), "big.bin", 512 + 100352},
    {"tar cut inside a header block", "a.tar", kTarKept, Cut(kTarBig, 300), "", 0},
    {"tar with a pax long name before the cut member", "a.tar", kTarKept, Cut(TarLongNamed(), 1536 + 3000),
     kLongName, 1536 + 100352},
    {"tar cut inside a pax record", "a.tar", kTarKept, Cut(TarLongNamed(), 600), "", 0},
    {"tar whose only member is cut", "a.tar", {}, Cut(kTarBig, 1024), "big.bin", 512 + 100352},
    {"qbx cut inside data", "a.qbx", kQbxKept, Cut(kQbxBig, 512 + 2000), "big.bin", 512 + 100000 + 4},
    {"qbx cut inside a header", "a.qbx", kQbxKept, Cut(kQbxBig, 200), "", 0},
};

class RepairTorn : public testing::TestWithParam<TornCase> {
 protected:
  std::filesystem::path Write() {
    WriteBytes(dir.Path(GetParam().file), Joined({GetParam().kept, GetParam().torn}));
    return dir.Path(GetParam().file);
  }
  ScratchDir dir;
};

#ifndef _WIN32
// GNU tar lists the repaired archive without a word on stderr ("lone zero block", "unexpected EOF").
void ExpectGnuTarListsCleanly(const std::filesystem::path& archive, const std::filesystem::path& err) {
  if (std::system("command -v tar >/dev/null 2>&1") != 0) return;
  std::string command = "tar -tvf '" + archive.string() + "' >/dev/null 2>'" + err.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadBytes(err), Bytes{});
}
#endif

TEST_P(RepairTorn, CutsTheIncompleteMemberAwayAndOpensForWriting) {
  const TornCase& c = GetParam();
  std::filesystem::path archive = Write();
  {
    ListingContext l(archive);
    ASSERT_EQ(l.Open(), kResultOk);
    EXPECT_EQ(l.context.openMode, kModeReadOnly);
    const uint32_t keptMembers = c.kept.empty() ? 0 : 1;
    TornTail tail;
    ASSERT_EQ(FindTornTail(&l.context, &tail), kResultOk);
    EXPECT_EQ(std::make_tuple(tail.memberIndex, tail.offset, tail.written, tail.claimed, Utf8Of(tail.name)),
              std::make_tuple(keptMembers, uint64_t{c.kept.size()}, uint64_t{c.torn.size()}, c.claimed, c.name));
    ASSERT_EQ(RepairTornTail(&l.context, &tail), kResultOk);
    EXPECT_EQ(l.context.openMode, kModeReadWrite);
    EXPECT_EQ(l.context.memberCount, keptMembers);
    EXPECT_EQ(l.context.appendOffset, c.kept.size());
  }
  EXPECT_EQ(ReadBytes(archive), c.Repaired());
  ListingContext again(archive);
  ASSERT_EQ(again.Open(), kResultOk);
  EXPECT_EQ(again.context.openMode, kModeReadWrite);
#ifndef _WIN32
  CloseArchive(&again.context);
  if (c.tar()) ExpectGnuTarListsCleanly(archive, dir.Path("tar.err"));
#endif
}

// Each open, read, seek, truncation, write and flush fails once in turn: the archive is then
// as it was, repaired, or (a TAR whose end blocks could not be written) cut where the
// incomplete member began, which lists cleanly too. Never worse than before.
TEST_P(RepairTorn, FailuresLeaveTheArchiveAsItWasOrCut) {
  const TornCase& c = GetParam();
  const Bytes before = Joined({c.kept, c.torn});
  const FaultOp ops[] = {kFaultOpen, kFaultRead, kFaultSeek, kFaultTruncate, kFaultWrite, kFaultFlush};
  for (FaultOp op : ops) {
    for (uint32_t nth = 1; nth < 16; ++nth) {
      SCOPED_TRACE("fault " + std::to_string(op) + " at call " + std::to_string(nth));
      std::filesystem::path archive = Write();
      ResultCode r;
      {
        ListingContext l(archive);
        ASSERT_EQ(l.Open(), kResultOk);
        TornTail tail;
        ArmFault(op, nth);
        r = RepairTornTail(&l.context, &tail);
        DisarmFaults();
      }
      const Bytes after = ReadBytes(archive);
      if (after != before && after != c.Repaired()) {
        EXPECT_EQ(after, c.kept);
        ListingContext l(archive);
        EXPECT_EQ(l.Open(), kResultOk);
        EXPECT_EQ(l.context.openMode, kModeReadWrite);
      }
      // Each operation takes part (writes only in a TAR, for its end blocks).
      EXPECT_TRUE(nth > 1 || (op == kFaultWrite && !c.tar()) || r != kResultOk);
      if (r == kResultOk) break;  // every call of op has failed once
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Repair, RepairTorn, testing::ValuesIn(kTorn), CaseName());

struct RefusedCase { const char* what; const char* file; Bytes bytes; TailState state; };

Bytes DamagedTar() {
  return Joined({kTarKept, TarMember({.name = "bad.txt", .size = 1, .checksumDelta = 1}, BytesOf("x")), Cut(kTarBig, 1024)});
}
Bytes DamagedQbx() {
  Bytes a = Joined({kQbxKept, QbxBytes({{"bad.txt", BytesOf("x")}}), Cut(kQbxBig, 1024)});
  a[kQbxKept.size() + 8] ^= 1;  // the name: the header checksum no longer matches
  return a;
}

const RefusedCase kRefused[] = {
    {"whole tar", "a.tar", Joined({kTarKept, Bytes(1024, 0)}), kTailWhole},
    {"whole qbx", "a.qbx", kQbxKept, kTailWhole},
    {"tar damaged before its cut last member", "a.tar", DamagedTar(), kTailDamaged},
    {"qbx damaged before its cut last member", "a.qbx", DamagedQbx(), kTailDamaged},
    {"zip", "a.zip", ZipArchive({StoredEntry("a.txt", BytesOf("hello"))}), kTailReadOnlyFormat},
    {"gz", "a.gz", GzMember({.content = BytesOf("hello"), .name = "a.txt"}), kTailReadOnlyFormat},
};

class RepairRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(RepairRefused, LeavesTheArchiveByteForByte) {
  const RefusedCase& c = GetParam();
  ScratchDir dir;
  WriteBytes(dir.Path(c.file), c.bytes);
  {
    ListingContext l(dir.Path(c.file));
    ASSERT_EQ(l.Open(), kResultOk);
    TornTail tail;
    EXPECT_EQ(FindTornTail(&l.context, &tail), kResultSave);
    EXPECT_EQ(tail.state, c.state);
    EXPECT_EQ(l.context.result, kResultOk);  // nothing to cut is an answer, not a failure
    EXPECT_EQ(RepairTornTail(&l.context, &tail), kResultSave);
    EXPECT_EQ(tail.state, c.state);
  }
  EXPECT_EQ(ReadBytes(dir.Path(c.file)), c.bytes);
}
INSTANTIATE_TEST_SUITE_P(Repair, RepairRefused, testing::ValuesIn(kRefused), CaseName());
}  // namespace
