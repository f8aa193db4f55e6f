// Appending to QBX and TAR archives, undoing failed appends, and reverting additions.
#include <gtest/gtest.h>

#include <thread>

#include "core/append.h"
#include "core/archive.h"
#include "core/filetime.h"
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
      ASSERT_EQ(l.Open(1), 0u);
      std::u16string src = Wide(dir.Path("src.bin"));
      l.context.onMember = CountAppended;
      ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"dir/src.bin"), 0u);
      ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"again"), 0u);
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
      ASSERT_EQ(again.Open(), 0u);
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
  ASSERT_EQ(l.Open(1), 0u);
  std::u16string src = Wide(dir.Path("src"));
  ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"h\u00E9llo.txt"), 0u);
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
    ASSERT_EQ(l.Open(1), 0u);
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), c.name->c_str()), 0u);
    CloseArchive(&l.context);
    ListingContext again(dir.Path(c.archive), c.codePage);
    ASSERT_EQ(again.Open(), 0u);
    ASSERT_EQ(again.members.size(), 1u);
    EXPECT_EQ(NameOf(again.members[0].entry), c.stored);
  }
}

TEST(Append, RefusalsLeaveTheArchiveAlone) {
  ScratchDir dir;
  WriteBytes(dir.Path("src"), BytesOf("data"));
  std::u16string src = Wide(dir.Path("src"));
  Bytes damaged;
  AppendTarMember(damaged, {"m", 1}, BytesOf("1"));
  AppendZeroBlocks(damaged, 2);
  damaged.resize(damaged.size() + 512, 0x77);  // garbage: read-only
  WriteBytes(dir.Path("damaged.tar"), damaged);
  ListingContext readOnly(dir.Path("damaged.tar"));
  ASSERT_EQ(readOnly.Open(), 0u);
  EXPECT_EQ(AppendFile(&readOnly.context, src.c_str(), u"x"), 16u);
  CloseArchive(&readOnly.context);
  EXPECT_EQ(ReadBytes(dir.Path("damaged.tar")), damaged);

  ListingContext l(dir.Path("a.tar"));
  ASSERT_EQ(l.Open(1), 0u);
  std::u16string missing = Wide(dir.Path("missing"));
  EXPECT_EQ(AppendFile(&l.context, missing.c_str(), u"x"), 14u);
  EXPECT_EQ(AppendFile(&l.context, nullptr, u"x"), 14u);
  l.context.memberCount = kMaxMembers;
  EXPECT_EQ(AppendFile(&l.context, src.c_str(), u"x"), 10u);
  l.context.memberCount = 0;
  CloseArchive(&l.context);
  EXPECT_EQ(ReadBytes(dir.Path("a.tar")), Bytes(1024, 0));
}

// Every failure after the header write is cut away again, byte for byte.
TEST(Append, FailuresAndCancelLeaveTheArchiveAsBefore) {
  struct Case {
    const char* what;
    FaultOp op;
    uint32_t nth;
    ResultCode expected;
  };
  const Case cases[] = {
      {"header write", kFaultWrite, 1, kResultWrite}, {"first data block", kFaultWrite, 2, kResultWrite},
      {"second data block", kFaultWrite, 3, kResultWrite}, {"last write", kFaultWrite, 4, kResultWrite},
      {"seek to the end", kFaultSeek, 1, kResultRead}, {"final cut", kFaultTruncate, 1, kResultWrite},
      {"source read", kFaultRead, 1, kResultRead},
  };
  ScratchDir dir;
  WriteBytes(dir.Path("src"), Pattern(600000));
  std::u16string src = Wide(dir.Path("src"));
  for (const char* name : {"a.qbx", "a.tar"}) {
    {
      ListingContext l(dir.Path(name));
      ASSERT_EQ(l.Open(1), 0u);
      ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"first"), 0u);
    }
    Bytes before = ReadBytes(dir.Path(name));
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(name) + ": " + c.what);
      ListingContext l(dir.Path(name));
      ASSERT_EQ(l.Open(), 0u);
      uint64_t offset = l.context.appendOffset;
      ArmFault(c.op, c.nth);
      EXPECT_EQ(AppendFile(&l.context, src.c_str(), u"second"), c.expected);
      DisarmFaults();
      EXPECT_EQ(l.context.memberCount, 1u);
      EXPECT_EQ(l.context.appendOffset, offset);
      EXPECT_EQ(l.context.appendPending, 0u);
      CloseArchive(&l.context);
      EXPECT_EQ(ReadBytes(dir.Path(name)), before);
    }
    SCOPED_TRACE(std::string(name) + ": cancelled");
    ListingContext l(dir.Path(name));
    ASSERT_EQ(l.Open(), 0u);
    l.context.jobState = kJobCancelling;
    EXPECT_EQ(AppendFile(&l.context, src.c_str(), u"second"), 1u);
    CloseArchive(&l.context);
    EXPECT_EQ(ReadBytes(dir.Path(name)), before);
  }
}

TEST(Append, RevertAfterTwoAppendsRestoresTheOpenedArchive) {
  ScratchDir dir;
  WriteBytes(dir.Path("src"), Pattern(1000));
  std::u16string src = Wide(dir.Path("src"));
  for (const char* name : {"a.qbx", "a.tar"}) {
    SCOPED_TRACE(name);
    {
      ListingContext l(dir.Path(name));
      ASSERT_EQ(l.Open(1), 0u);
      ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"kept"), 0u);
    }
    Bytes opened = ReadBytes(dir.Path(name));
    ListingContext l(dir.Path(name));
    ASSERT_EQ(l.Open(), 0u);
    uint32_t count = l.context.memberCount;
    uint64_t end = l.context.appendOffset;
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"new1"), 0u);
    ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"new2"), 0u);
    EXPECT_EQ(l.context.memberCount, count + 2);
    ASSERT_EQ(RevertAdditions(&l.context, count, end), 0u);
    EXPECT_EQ(l.context.memberCount, count);
    EXPECT_EQ(l.context.fileSize, opened.size());
    CloseArchive(&l.context);
    EXPECT_EQ(ReadBytes(dir.Path(name)), opened);
  }
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
  ASSERT_EQ(tar.Open(1), 0u);
  EXPECT_EQ(AppendFile(&tar.context, src.c_str(), u"huge"), 10u);
  CloseArchive(&tar.context);
  EXPECT_EQ(ReadBytes(dir.Path("a.tar")), Bytes(1024, 0));

  // QBX passes the size checks; the cancel after the first block stops the 8 GiB copy.
  ListingContext qbx(dir.Path("a.qbx"));
  ASSERT_EQ(qbx.Open(1), 0u);
  uint64_t free = 0;
  std::u16string folder = Wide(dir.root);
  ASSERT_TRUE(GetFreeDiskBytes(folder.c_str(), &free));
  qbx.context.jobState = kJobCancelling;
  ResultCode expected = free >= (uint64_t{1} << 33) + kMinFreeSpaceLeft ? kResultCancelled : kResultDiskFull;
  EXPECT_EQ(AppendFile(&qbx.context, src.c_str(), u"huge"), expected);
  CloseArchive(&qbx.context);
  EXPECT_EQ(ReadBytes(dir.Path("a.qbx")).size(), 0u);
}

TEST(Append, TimesBefore1970AreStoredAsZero) {
  ScratchDir dir;
  WriteBytes(dir.Path("old"), BytesOf("x"));
  SetFileTime(dir.Path("old"), UnixToFileTime(0) - 3600 * kFileTimeTicksPerSecond);
  std::u16string src = Wide(dir.Path("old"));
  ListingContext l(dir.Path("a.tar"));
  ASSERT_EQ(l.Open(1), 0u);
  ASSERT_EQ(AppendFile(&l.context, src.c_str(), u"old"), 0u);
  CloseArchive(&l.context);
  Bytes a = ReadBytes(dir.Path("a.tar"));
  EXPECT_EQ(std::string(a.begin() + kTarMtimeOffset, a.begin() + kTarMtimeOffset + 12), std::string("00000000000\0", 12));
}
}  // namespace
