// Appending to QBX and TAR archives, undoing failed appends, and reverting additions.
#include <gtest/gtest.h>

#include "core/append.h"
#include "core/archive.h"
#include "core/filetime.h"
#include "core/progress.h"
#include "core/tar.h"
#include "support/archive_builder.h"
#include "support/source_files.h"

namespace {
struct AppendCase {
  size_t size;
  uint64_t qbxGrowth;  // bytes the archive grows by
  uint64_t tarGrowth;  // bytes added before the end blocks
};

TEST(Append, SizesOnDiskForBothFormats) {
  const AppendCase cases[] = {
      {0, 512, 512}, {1, 517, 1024}, {5, 521, 1024}, {262144, 512 + 262144 + 4, 512 + 262144},
      {262145, 512 + 262145 + 4, 512 + 262144 + 512},
  };
  for (const AppendCase& c : cases) {
    SCOPED_TRACE(c.size);
    ScratchDir dir;
    WriteBytes(dir.Path("src.bin"), Pattern(c.size));
    SetFileTime(dir.Path("src.bin"), UnixToFileTime(1600000000));
    for (const char* name : {"a.qbx", "a.tar"}) {
      bool tar = std::string(name) == "a.tar";
      ListingContext l(dir.Path(name));
      ASSERT_EQ(l.Open(1), kResultOk);
      std::u16string src = Wide(dir.Path("src.bin"));
      ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"dir/src.bin"), kResultOk);
      ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"again"), kResultOk);  // each one is collected
      uint64_t growth = tar ? c.tarGrowth : c.qbxGrowth;
      EXPECT_EQ(l.context.appendOffset, 2 * growth);
      EXPECT_EQ(l.context.fileSize, 2 * growth + (tar ? 1024 : 0));
      EXPECT_EQ(l.context.memberCount, 2u);
      EXPECT_EQ(l.offsets[1], growth);
      ASSERT_EQ(l.members.size(), 2u);
      EXPECT_EQ(l.members[0].entry.size, c.size);
      EXPECT_EQ(l.members[0].entry.modified, UnixToFileTime(1600000000));
      CloseArchive(&l.context);
      Bytes archive = ReadBytes(dir.Path(name));
      EXPECT_EQ(archive.size(), 2 * growth + (tar ? 1024 : 0));
      if (tar) {
        EXPECT_EQ(Bytes(archive.end() - 1024, archive.end()), Bytes(1024, 0));
      }
    }
  }
}

// TAR names that do not fit the name field go into a pax record whole; a character that one
// byte cannot hold makes the name UTF-8; QBX cuts at its 256-byte field. TAR keeps whole
// seconds, and a time before 1970 as 0 rather than a wrapped value. GNU tar and bsdtar read
// the rest back in tar_roundtrip.sh.
TEST(Append, StoredNamesAndTimes) {
  const uint64_t late = UnixToFileTime(1600000005) + 5;
  const uint64_t early = UnixToFileTime(0) - 3600 * kFileTimeTicksPerSecond;
  const std::u16string longName(150, u'n'), euros(100, u'\u20AC'), latin1 = u"Gr\u00FC\u00DFe";
  struct Case {
    const char* archive;
    uint32_t codePage;
    const std::u16string* name;
    std::u16string shown;
    std::string nameField;  // the first bytes of the member's own name field
    uint64_t time, listedTime;
  };
  const Case cases[] = {
      {"a.tar", 65001, &longName, longName, std::string(99, 'n'), late, UnixToFileTime(1600000005)},
      {"c.tar", 0, &euros, euros, "\xE2\x82\xAC", early, UnixToFileTime(0)},
      {"e.tar", 0, &latin1, latin1, "Gr\xFC\xDF" "e", late, UnixToFileTime(1600000005)},
      {"d.qbx", 65001, &euros, std::u16string(85, u'\u20AC'), "\xE2\x82\xAC", late, late},
  };
  ScratchDir dir;
  WriteBytes(dir.Path("src"), {});
  std::u16string src = Wide(dir.Path("src"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    SetFileTime(dir.Path("src"), c.time);
    ListingContext l(dir.Path(c.archive), c.codePage);
    ASSERT_EQ(l.Open(1), kResultOk);
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), c.name->c_str()), kResultOk);
    CloseArchive(&l.context);
    ListingContext again(dir.Path(c.archive), c.codePage);
    ASSERT_EQ(again.Open(), kResultOk);
    ASSERT_EQ(again.members.size(), 1u);
    EXPECT_EQ(again.members[0].name, Utf8Of(c.shown));
    EXPECT_EQ(NameOf(again.members[0].entry).substr(0, c.nameField.size()), c.nameField);
    EXPECT_EQ(again.members[0].entry.modified, c.listedTime);
  }
}

// A TAR as GNU tar writes it: one member, then zero blocks up to a 10240-byte record.
Bytes PaddedTar() {
  Bytes a;
  AppendTarMember(a, {"m", 1}, BytesOf("1"));
  a.resize(10240, 0);
  return a;
}

// The archives an append and a revert must give back byte for byte: ours and GNU tar's.
struct Original {
  const char* name;
  Bytes bytes;
};
std::vector<Original> Originals(const ScratchDir& dir, const std::u16string& src) {
  std::vector<Original> out;
  for (const char* name : {"a.qbx", "a.tar"}) {
    {
      ListingContext l(dir.Path(name));
      EXPECT_EQ(l.Open(1), kResultOk);
      EXPECT_EQ(AppendFile(&l.context, src.c_str(), u"first"), kResultOk);
    }
    out.push_back({name, ReadBytes(dir.Path(name))});
  }
  out.push_back({"gnu.tar", PaddedTar()});
  return out;
}

// A name beyond the name field: a pax header as GNU tar would write it (every field it does
// not set zero), the path record, then the member's header with the name's first 99 bytes.
TEST(Append, LongTarNameGoesIntoAPaxRecord) {
  const std::string name = std::string(120, 'p') + "/\xC3\xA9t\xC3\xA9.txt";
  ScratchDir dir;
  WriteBytes(dir.Path("src"), BytesOf("data"));
  SetFileTime(dir.Path("src"), UnixToFileTime(1600000000));
  {
    ListingContext l(dir.Path("a.tar"), 0);
    ASSERT_EQ(l.Open(1), kResultOk);
    const std::u16string wide = Wide(std::filesystem::u8path(name)), src = Wide(dir.Path("src"));
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), wide.c_str()), kResultOk);
  }
  const std::string record = PaxRecord("path", name);
  TarHeaderFields pax{"././@PaxHeader", record.size(), 1600000000, 0644, 'x'};
  pax.magic = std::string("ustar\0" "00", 8);
  Bytes expected = TarHeader(pax);
  Bytes data = BytesOf(record);
  data.resize(512, 0);
  expected.insert(expected.end(), data.begin(), data.end());
  const Bytes archive = ReadBytes(dir.Path("a.tar"));
  ASSERT_EQ(archive.size(), 512 * 4 + 1024u);
  EXPECT_EQ(Bytes(archive.begin(), archive.begin() + 1024), expected);
  EXPECT_EQ(std::string(archive.begin() + 1024, archive.begin() + 1024 + 100), name.substr(0, 99) + '\0');
}

TEST(Append, RefusalsLeaveTheArchiveAlone) {
  ScratchDir dir;
  WriteBytes(dir.Path("src"), BytesOf("data"));
  std::u16string src = Wide(dir.Path("src"));
  std::u16string missing = Wide(dir.Path("missing"));
  struct Case {
    const char* what;
    const std::u16string* source;
    ResultCode expected;
    FaultOp fault = kFaultOpCount;
    uint32_t memberCount = 0;
  };
  const Bytes padded = PaddedTar();
  const Case cases[] = {
      {"missing source", &missing, kResultOpen},
      {"no source", nullptr, kResultOpen},
      {"member count at its limit", &src, kResultLimit, kFaultOpCount, kMaxMembers},
      {"free space unknown", &src, kResultDiskFull, kFaultFreeSpace},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir.Path("a.tar"), padded);
    {
      ListingContext l(dir.Path("a.tar"));
      ASSERT_EQ(l.Open(), kResultOk);
      if (c.memberCount != 0) l.context.memberCount = c.memberCount;
      if (c.fault != kFaultOpCount) ArmFault(c.fault, 1);
      EXPECT_EQ(AppendFile(&l.context, c.source != nullptr ? c.source->c_str() : nullptr, u"x"), c.expected);
      DisarmFaults();
      l.context.memberCount = 0;
    }
    EXPECT_EQ(ReadBytes(dir.Path("a.tar")), padded);
  }
}

// Every write, seek, truncation and source read fails once in turn; each failure, a source
// that changes size while it is copied, a cancel and a revert are cut away again, byte for
// byte, from our archives and from GNU tar's padded one.
TEST(Append, FailuresCancelAndRevertLeaveTheArchiveAsBefore) {
  const std::pair<FaultOp, ResultCode> faults[] = {
      {kFaultWrite, kResultWrite}, {kFaultSeek, kResultRead}, {kFaultTruncate, kResultWrite}, {kFaultRead, kResultRead}};
  ScratchDir dir;
  WriteBytes(dir.Path("src"), Pattern(600000));
  std::u16string src = Wide(dir.Path("src"));
  for (const Original& o : Originals(dir, src)) {
    auto expectUntouched = [&](ListingContext& l, ResultCode r, ResultCode expected, uint64_t offset) {
      EXPECT_EQ(r, expected);
      EXPECT_EQ(l.context.memberCount, 1u);
      EXPECT_EQ(l.context.appendOffset, offset);
      EXPECT_EQ(l.context.fileSize, o.bytes.size());
      EXPECT_EQ(l.context.appendPending, 0u);
      CloseArchive(&l.context);
      EXPECT_EQ(ReadBytes(dir.Path(o.name)), o.bytes);
    };
    for (const auto& [op, expected] : faults) {
      for (uint32_t nth = 1; nth < 64; ++nth) {
        SCOPED_TRACE(std::string(o.name) + ": fault " + std::to_string(op) + " at call " + std::to_string(nth));
        WriteBytes(dir.Path(o.name), o.bytes);
        ListingContext l(dir.Path(o.name));
        ASSERT_EQ(l.Open(), kResultOk);
        uint64_t offset = l.context.appendOffset;
        ArmFault(op, nth);
        ResultCode r = AppendFile(&l.context, src.c_str(), u"second");
        DisarmFaults();
        if (r == kResultOk) break;  // every call of op has failed once
        expectUntouched(l, r, expected, offset);
      }
    }
#ifndef _WIN32
    // Grows or shrinks between the size check and the copy's end (the progress report after
    // the first block changes it). Windows keeps writers out of a source being read.
    for (size_t changed : {size_t{700000}, size_t{300000}}) {
      SCOPED_TRACE(std::string(o.name) + ": source becomes " + std::to_string(changed) + " bytes");
      WriteBytes(dir.Path(o.name), o.bytes);
      WriteBytes(dir.Path("src"), Pattern(600000));
      static std::filesystem::path sChanged;
      static size_t sSize;
      sChanged = dir.Path("src");
      sSize = changed;
      ListingContext l(dir.Path(o.name));
      ASSERT_EQ(l.Open(), kResultOk);
      uint64_t offset = l.context.appendOffset;
      l.context.onProgress = [](const ProgressBlock* b) {
        if (b->doneBytes > 0) std::filesystem::resize_file(sChanged, sSize);
      };
      expectUntouched(l, AppendFile(&l.context, src.c_str(), u"second"), kResultChecksum, offset);
    }
    WriteBytes(dir.Path("src"), Pattern(600000));
#endif
    {
      SCOPED_TRACE(std::string(o.name) + ": cancelled");
      WriteBytes(dir.Path(o.name), o.bytes);
      ListingContext l(dir.Path(o.name));
      ASSERT_EQ(l.Open(), kResultOk);
      l.context.jobState = kJobCancelling;
      uint64_t offset = l.context.appendOffset;
      expectUntouched(l, AppendFile(&l.context, src.c_str(), u"second"), kResultCancelled, offset);
    }
    // Revert takes back what was appended since the archive was opened.
    SCOPED_TRACE(std::string(o.name) + ": reverted");
    WriteBytes(dir.Path(o.name), o.bytes);
    ListingContext l(dir.Path(o.name));
    ASSERT_EQ(l.Open(), kResultOk);
    uint64_t offset = l.context.appendOffset;
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"new1"), kResultOk);
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"new2"), kResultOk);
    expectUntouched(l, RevertAdditions(&l.context, 1, offset), kResultOk, offset);
  }
}

// A TAR size field holds less than 8 GiB.
TEST(Append, TarRefusesEightGiB) {
  ScratchDir dir;
  {
    // A sparse file: 8 GiB long without using the space.
    std::u16string path = Wide(dir.Path("huge"));
    FileHandle f = FileOpen(path.c_str(), kAccessReadWrite, kShareNone, kCreateAlways);
    ASSERT_NE(f, kInvalidFile);
    ASSERT_TRUE(FileSeek(f, int64_t{1} << 33, kSeekBegin, nullptr));
    ASSERT_TRUE(FileTruncate(f));
    FileClose(f);
  }
  std::u16string src = Wide(dir.Path("huge"));
  ListingContext tar(dir.Path("a.tar"));
  ASSERT_EQ(tar.Open(1), kResultOk);
  EXPECT_EQ(AppendFile(&tar.context, src.c_str(), u"huge"), kResultLimit);
  CloseArchive(&tar.context);
  EXPECT_EQ(ReadBytes(dir.Path("a.tar")), Bytes(1024, 0));
}
}  // namespace
