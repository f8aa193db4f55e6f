// Cutting away the incomplete last member an interrupted add leaves, and touching nothing else.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/archive.h"
#include "core/repair.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace {
const std::string kLongName = std::string(130, 'l') + "/big.bin";
const Bytes kTarKept = TarMember({"a.txt", 5}, BytesOf("hello"));
const Bytes kQbxKept = QbxBytes({{"a.txt", BytesOf("hello")}});
// Whole, the member an add was copying; the cases keep only what was written of it.
const Bytes kTarBig = TarMember({"big.bin", 100000}, Pattern(100000));
const Bytes kQbxBig = QbxBytes({{"big.bin", Pattern(100000)}});
Bytes TarLongNamed() {
  return Joined({PaxHeader(PaxRecord("path", kLongName)), TarMember({kLongName.substr(0, 99), 100000}, Pattern(100000))});
}

struct TornCase {
  const char* what;
  const char* file;  // its extension gives the format
  Bytes kept;        // the members before the incomplete one
  Bytes torn;        // what the interrupted add left behind them
  std::string name;  // empty when the header itself is cut short
  uint64_t claimed;
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
    const TornCase& c = GetParam();
    WriteBytes(dir.Path(c.file), Joined({c.kept, c.torn}));
    return dir.Path(c.file);
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
    size_t keptMembers = c.kept.empty() ? 0 : 1;
    TornTail tail;
    ASSERT_EQ(FindTornTail(&l.context, &tail), kResultOk);
    EXPECT_EQ(tail.memberIndex, keptMembers);
    EXPECT_EQ(tail.offset, c.kept.size());
    EXPECT_EQ(tail.written, c.torn.size());
    EXPECT_EQ(tail.claimed, c.claimed);
    EXPECT_EQ(Utf8Of(tail.name), c.name);
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
      if (nth == 1 && (op != kFaultWrite || c.tar())) {
        EXPECT_NE(r, kResultOk);
      }
      if (r == kResultOk) break;  // every call of op has failed once
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Repair, RepairTorn, testing::ValuesIn(kTorn), CaseName());

struct RefusedCase {
  const char* what;
  const char* file;
  Bytes bytes;
  TailState state;
};

Bytes DamagedTar() {
  const Bytes badChecksum = TarMember({"bad.txt", 1, 1600000000, 0644, '0', false, false, 1}, BytesOf("x"));
  return Joined({kTarKept, badChecksum, Cut(kTarBig, 1024)});
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
