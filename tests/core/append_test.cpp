// Appending to QBX and TAR archives, undoing failed appends, and reverting additions.
#include <gtest/gtest.h>

#include <thread>

#include "core/append.h"
#include "core/archive.h"
#include "core/filetime.h"
#include "core/progress.h"
#include "core/tar.h"
#include "support/archive_builder.h"
#include "support/source_files.h"

namespace {
uint32_t CountAppended(ArchiveContext* context) {
  static_cast<ListingContext*>(context->owner)->members.push_back({context->memberIndex, context->entry, 0});
  return 1;
}

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
      l.context.onMember = CountAppended;
      ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"dir/src.bin"), kResultOk);
      ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"again"), kResultOk);
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
      // What we wrote lists back the same.
      ListingContext again(dir.Path(name));
      ASSERT_EQ(again.Open(), kResultOk);
      ASSERT_EQ(again.members.size(), 2u);
      EXPECT_EQ(NameOf(again.members[0].entry), "dir/src.bin");
      EXPECT_EQ(again.members[1].entry.size, c.size);
      EXPECT_EQ(again.context.openMode, kModeReadWrite);
    }
  }
}

TEST(Append, TarHeaderFields) {
  ScratchDir dir;
  WriteBytes(dir.Path("src"), BytesOf("hello"));
  SetFileTime(dir.Path("src"), UnixToFileTime(1600000005) + 5);  // whole seconds are stored
  ListingContext l(dir.Path("a.tar"));
  ASSERT_EQ(l.Open(1), kResultOk);
  std::u16string src = Wide(dir.Path("src"));
  ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"h\u00E9llo.txt"), kResultOk);
  CloseArchive(&l.context);
  Bytes a = ReadBytes(dir.Path("a.tar"));
  ASSERT_EQ(a.size(), 2048u);
  EXPECT_EQ(std::string(a.begin(), a.begin() + 11), std::string("h\xC3\xA9llo.txt", 11));
  auto field = [&](uint32_t offset, uint32_t width) { return std::string(a.begin() + offset, a.begin() + offset + width); };
  EXPECT_EQ(field(kTarModeOffset, 8), std::string("0000777\0", 8));
  EXPECT_EQ(field(kTarUidOffset, 8), std::string("0000000\0", 8));
  EXPECT_EQ(field(kTarSizeOffset, 12), std::string("00000000005\0", 12));
  EXPECT_EQ(field(kTarMtimeOffset, 12), std::string("13727410005\0", 12));
  EXPECT_EQ(a[kTarTypeflagOffset], '0');
  EXPECT_EQ(field(257, 8), std::string(8, '\0'));  // no magic: an old-style header
  uint32_t u, s;
  TarChecksum(a.data(), &u, &s);
  EXPECT_EQ(ReadOctal(&a[kTarChksumOffset], 8), u);
  EXPECT_EQ(field(512, 5), "hello");
  EXPECT_EQ(Bytes(a.begin() + 517, a.end()), Bytes(2048 - 517, 0));
}

TEST(Append, NamesAreCutToTheHeaderField) {
  ScratchDir dir;
  WriteBytes(dir.Path("src"), {});
  std::u16string src = Wide(dir.Path("src"));
  std::u16string longName(150, u'n');
  std::u16string euros(100, u'\u20AC');
  struct Case {
    const char* archive;
    uint32_t codePage;
    const std::u16string* name;
    std::string stored;
  };
  const Case cases[] = {
      {"a.tar", 65001, &longName, std::string(99, 'n')},
      {"b.tar", 65001, &euros, [] { std::string s; for (int i = 0; i < 33; ++i) s += "\xE2\x82\xAC"; return s; }()},
      {"c.tar", 0, &euros, std::string(99, '\xAC')},  // only the low byte of U+20AC
      {"d.qbx", 65001, &euros, [] { std::string s; for (int i = 0; i < 85; ++i) s += "\xE2\x82\xAC"; return s + "\xE2"; }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    ListingContext l(dir.Path(c.archive), c.codePage);
    ASSERT_EQ(l.Open(1), kResultOk);
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), c.name->c_str()), kResultOk);
    CloseArchive(&l.context);
    ListingContext again(dir.Path(c.archive), c.codePage);
    ASSERT_EQ(again.Open(), kResultOk);
    ASSERT_EQ(again.members.size(), 1u);
    EXPECT_EQ(NameOf(again.members[0].entry), c.stored);
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

TEST(Append, RefusalsLeaveTheArchiveAlone) {
  ScratchDir dir;
  WriteBytes(dir.Path("src"), BytesOf("data"));
  std::u16string src = Wide(dir.Path("src"));
  std::u16string missing = Wide(dir.Path("missing"));
  Bytes damaged = PaddedTar();
  damaged.resize(damaged.size() + 512, 0x77);  // garbage: read-only
  struct Case {
    const char* what;
    const Bytes* archive;
    const std::u16string* source;
    ResultCode expected;
    FaultOp fault = kFaultOpCount;
    uint32_t memberCount = 0;
  };
  const Bytes padded = PaddedTar();
  const Case cases[] = {
      {"read-only archive", &damaged, &src, kResultSave},
      {"missing source", &padded, &missing, kResultOpen},
      {"no source", &padded, nullptr, kResultOpen},
      {"member count at its limit", &padded, &src, kResultLimit, kFaultOpCount, kMaxMembers},
      {"free space unknown", &padded, &src, kResultDiskFull, kFaultFreeSpace},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir.Path("a.tar"), *c.archive);
    {
      ListingContext l(dir.Path("a.tar"));
      ASSERT_EQ(l.Open(), kResultOk);
      if (c.memberCount != 0) l.context.memberCount = c.memberCount;
      if (c.fault != kFaultOpCount) ArmFault(c.fault, 1);
      EXPECT_EQ(AppendFile(&l.context, c.source != nullptr ? c.source->c_str() : nullptr, u"x"), c.expected);
      DisarmFaults();
      l.context.memberCount = 0;
    }
    EXPECT_EQ(ReadBytes(dir.Path("a.tar")), *c.archive);
  }
}

// Every write, seek, truncation and source read fails once in turn; each failure, a source
// that changes size while it is copied, and a cancel are cut away again, byte for byte.
TEST(Append, FailuresAndCancelLeaveTheArchiveAsBefore) {
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
    SCOPED_TRACE(std::string(o.name) + ": cancelled");
    WriteBytes(dir.Path(o.name), o.bytes);
    ListingContext l(dir.Path(o.name));
    ASSERT_EQ(l.Open(), kResultOk);
    l.context.jobState = kJobCancelling;
    uint64_t offset = l.context.appendOffset;
    expectUntouched(l, AppendFile(&l.context, src.c_str(), u"second"), kResultCancelled, offset);
  }
}

TEST(Append, RevertRestoresTheOpenedArchive) {
  ScratchDir dir;
  WriteBytes(dir.Path("src"), Pattern(1000));
  std::u16string src = Wide(dir.Path("src"));
  for (const Original& o : Originals(dir, src)) {
    SCOPED_TRACE(o.name);
    WriteBytes(dir.Path(o.name), o.bytes);
    ListingContext l(dir.Path(o.name));
    ASSERT_EQ(l.Open(), kResultOk);
    uint32_t count = l.context.memberCount;
    uint64_t end = l.context.appendOffset;
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"new1"), kResultOk);
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"new2"), kResultOk);
    EXPECT_EQ(l.context.memberCount, count + 2);
    ASSERT_EQ(RevertAdditions(&l.context, count, end), kResultOk);
    EXPECT_EQ(l.context.memberCount, count);
    EXPECT_EQ(l.context.fileSize, o.bytes.size());
    CloseArchive(&l.context);
    EXPECT_EQ(ReadBytes(dir.Path(o.name)), o.bytes);
  }
}

TEST(Append, RevertRefusesWhatCannotChange) {
  ScratchDir dir;
  Bytes damaged = PaddedTar();
  damaged.resize(damaged.size() + 512, 0x77);
  WriteBytes(dir.Path("damaged.tar"), damaged);
  ListingContext l(dir.Path("damaged.tar"));
  ASSERT_EQ(l.Open(), kResultOk);
  EXPECT_EQ(RevertAdditions(&l.context, 0, 0), kResultSave);
  CloseArchive(&l.context);
  EXPECT_EQ(RevertAdditions(&l.context, 0, 0), kResultOpen);
  EXPECT_EQ(ReadBytes(dir.Path("damaged.tar")), damaged);
}

TEST(Append, TarRefusesEightGiBWhichQbxTakes) {
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

  // QBX passes the size checks; the cancel after the first block stops the 8 GiB copy.
  ListingContext qbx(dir.Path("a.qbx"));
  ASSERT_EQ(qbx.Open(1), kResultOk);
  uint64_t free = 0;
  std::u16string folder = Wide(dir.root);
  ASSERT_TRUE(GetFreeDiskBytes(folder.c_str(), &free));
  qbx.context.jobState = kJobCancelling;
  ResultCode expected = free >= (uint64_t{1} << 33) + kMinFreeSpaceLeft ? kResultCancelled : kResultDiskFull;
  EXPECT_EQ(AppendFile(&qbx.context, src.c_str(), u"huge"), expected);
  CloseArchive(&qbx.context);
  EXPECT_EQ(ReadBytes(dir.Path("a.qbx")).size(), kResultOk);
}

TEST(Append, TimesBefore1970AreStoredAsZero) {
  ScratchDir dir;
  WriteBytes(dir.Path("old"), BytesOf("x"));
  SetFileTime(dir.Path("old"), UnixToFileTime(0) - 3600 * kFileTimeTicksPerSecond);
  std::u16string src = Wide(dir.Path("old"));
  ListingContext l(dir.Path("a.tar"));
  ASSERT_EQ(l.Open(1), kResultOk);
  ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"old"), kResultOk);
  CloseArchive(&l.context);
  Bytes a = ReadBytes(dir.Path("a.tar"));
  EXPECT_EQ(std::string(a.begin() + kTarMtimeOffset, a.begin() + kTarMtimeOffset + 12), std::string("00000000000\0", 12));
}
}  // namespace
