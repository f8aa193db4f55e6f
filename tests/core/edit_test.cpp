// Renames, TAR modes and deleting the last member, in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"
#include "core/tar.h"
#include "support/archive_builder.h"
#include "support/zip_builder.h"

namespace {
Bytes ThreeMemberTar() {
  Bytes a;
  AppendTarMember(a, {"file.txt", 3}, BytesOf("abc"));
  AppendTarMember(a, {"folder/", 0, 1600000000, 0755, '5'}, {});
  AppendPaxHeader(a, PaxRecord("mtime", "1600000001") + PaxRecord("path", "long/path"));
  TarHeaderFields suid{"tool", 2, 1600000000, 0104755};
  AppendTarMember(a, suid, BytesOf("xx"));
  AppendZeroBlocks(a, 2);
  return a;
}

struct Edited {
  ResultCode result;
  Bytes archive;
  std::vector<ListedMember> members;  // listed again afterwards
};

template <typename Edit>
Edited EditTar(const Bytes& original, Edit edit, uint32_t codePage = 65001) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), original);
  ResultCode r;
  {
    ListingContext l(dir.Path("a.tar"), codePage);
    EXPECT_EQ(l.Open(), kResultOk);
    r = edit(&l.context);
  }
  std::vector<ListedMember> members;
  {
    ListingContext again(dir.Path("a.tar"), codePage);
    EXPECT_EQ(again.Open(), kResultOk);
    members = again.members;
  }
  // Read once nobody holds the archive: Windows refuses readers of a file opened for writing.
  return {r, ReadBytes(dir.Path("a.tar")), members};
}

TEST(Rename, TarNamesTypesAndLimits) {
  struct Case {
    const char* what;
    uint32_t index;
    std::u16string name;
    uint32_t codePage;
    std::string stored;
    char typeflag;
    uint32_t attributes;
  };
  const Case cases[] = {
      {"file to directory", 0, u"now/a/dir/", 65001, "now/a/dir/", '5', 0x10},
      {"directory to file", 1, u"plain", 65001, "plain", '0', 0x20},
      {"150 characters keep 99 bytes", 0, std::u16string(150, u'x'), 65001, std::string(99, 'x'), '0', 0x20},
      {"UTF-8 cut inside a character", 0, std::u16string(40, u'\u20AC'), 65001,
       [] { std::string s; for (int i = 0; i < 33; ++i) s += "\xE2\x82\xAC"; return s; }(), '0', 0x20},
      {"one byte per character keeps the low byte", 0, u"\u0141\u00E9", 0, "\x41\xE9", '0', 0x20},
      {"backslashes become slashes", 1, u"now\\a\\dir\\", 65001, "now/a/dir/", '5', 0x10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Edited e = EditTar(ThreeMemberTar(), [&](ArchiveContext* ctx) { return RenameMember(ctx, c.index, c.name.c_str()); },
                       c.codePage);
    EXPECT_EQ(e.result, kResultOk);
    uint32_t at = c.index * 1024;
    EXPECT_EQ(e.archive[at + kTarTypeflagOffset], static_cast<uint8_t>(c.typeflag));
    const ListedMember* m = nullptr;
    for (const ListedMember& x : e.members)
      if (x.index == c.index) m = &x;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(NameOf(m->entry), c.stored);
    EXPECT_EQ(m->entry.attributes, c.attributes);
  }
}

TEST(Rename, ExtendedHeaderStaysAndTheMembersOwnHeaderChanges) {
  Bytes original = ThreeMemberTar();
  Edited e = EditTar(original, [](ArchiveContext* c) { return RenameMember(c, 2, u"renamed"); });
  ASSERT_EQ(e.result, kResultOk);
  // The pax header (blocks 3 and 4) is untouched; the member's header at block 5 changed.
  EXPECT_TRUE(std::equal(original.begin() + 1536, original.begin() + 2560, e.archive.begin() + 1536));
  EXPECT_EQ(std::string(e.archive.begin() + 2560, e.archive.begin() + 2567), "renamed");
  ASSERT_EQ(e.members.size(), 3u);
  EXPECT_EQ(NameOf(e.members[2].entry), "renamed");
  // Every byte other than name and checksum is as before: mode, times, type.
  for (uint32_t i = 100; i < 512; ++i)
    if (i < kTarChksumOffset || i >= kTarChksumOffset + 8) {
      EXPECT_EQ(e.archive[2560 + i], original[2560 + i]) << i;
    }
}

TEST(Rename, PaxHeaderNameChangesNothing) {
  Bytes original = ThreeMemberTar();
  Edited e = EditTar(original, [](ArchiveContext* c) { return RenameMember(c, 0, u"././@PaxHeader"); });
  EXPECT_EQ(e.result, kResultOk);
  EXPECT_EQ(e.archive, original);
}

TEST(Rename, QbxNamesAndDirectoryFlag) {
  ScratchDir dir;
  Bytes a;
  AppendQbxMember(a, {"one", BytesOf("1"), 0, 0x21});
  AppendQbxMember(a, {"two", {}});
  WriteBytes(dir.Path("a.qbx"), a);
  {
    ListingContext l(dir.Path("a.qbx"));
    ASSERT_EQ(l.Open(), kResultOk);
    EXPECT_EQ(RenameMember(&l.context, 1, u"made/a/dir/"), kResultOk);
    EXPECT_EQ(RenameMember(&l.context, 0, u"caf\u00E9"), kResultOk);
    EXPECT_EQ(RenameMember(&l.context, 2, u"nothing"), kResultNotFound);
  }
  ListingContext again(dir.Path("a.qbx"));
  ASSERT_EQ(again.Open(), kResultOk);
  ASSERT_EQ(again.members.size(), 2u);
  EXPECT_EQ(NameOf(again.members[0].entry), "caf\xC3\xA9");
  EXPECT_EQ(again.members[0].entry.attributes, 0x21u);
  EXPECT_EQ(again.members[1].entry.attributes, 0x30u);  // archive bit kept, directory added
  EXPECT_EQ(again.context.openMode, kModeReadWrite);
}

TEST(SetTarMode, KeepsTheFieldLayoutAndSetUserIdBit) {
  struct Case {
    const char* what;
    uint32_t index;
    uint32_t mode;
    std::string field;
  };
  const Case cases[] = {
      {"set-user-ID kept", 2, 0640, std::string("0104640\0", 8)},
      {"plain", 0, 0600, std::string("0000600\0", 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes original = ThreeMemberTar();
    uint32_t headerAt = c.index == 2 ? 2560 : 0;
    Edited e = EditTar(original, [&](ArchiveContext* ctx) { return SetTarMode(ctx, c.index, c.mode); });
    ASSERT_EQ(e.result, kResultOk);
    EXPECT_EQ(std::string(e.archive.begin() + headerAt + 100, e.archive.begin() + headerAt + 108), c.field);
    if (c.index == 2) {
      EXPECT_TRUE(std::equal(original.begin() + 1536, original.begin() + 2560, e.archive.begin() + 1536));
    }
  }
  // "000644 \0": six digits, a space and a zero byte keep that layout.
  Bytes spaced;
  TarHeaderFields s{"s", 0};
  Bytes h = TarHeader(s);
  std::memcpy(&h[kTarModeOffset], "000644 \0", 8);
  RefreshTarChecksum(h.data());
  spaced = h;
  AppendZeroBlocks(spaced, 2);
  Edited e = EditTar(spaced, [](ArchiveContext* ctx) { return SetTarMode(ctx, 0, 0751); });
  ASSERT_EQ(e.result, kResultOk);
  EXPECT_EQ(std::string(e.archive.begin() + 100, e.archive.begin() + 108), std::string("000751 \0", 8));
  EXPECT_EQ(e.members[0].entry.mode, 0751u);
}

TEST(Edits, RefusalsAndFailuresLeaveTheArchiveAlone) {
  Bytes original = ThreeMemberTar();
  struct Case {
    const char* what;
    FaultOp op;
    uint32_t nth;
    ResultCode (*edit)(ArchiveContext*);
    ResultCode expected;
  };
  const Case cases[] = {
      {"rename, write fails", kFaultWrite, 1, [](ArchiveContext* c) { return RenameMember(c, 0, u"x"); }, kResultWrite},
      {"rename, read fails", kFaultRead, 1, [](ArchiveContext* c) { return RenameMember(c, 0, u"x"); }, kResultRead},
      {"mode, write fails", kFaultWrite, 1, [](ArchiveContext* c) { return SetTarMode(c, 0, 0600); }, kResultWrite},
      {"mode, seek fails", kFaultSeek, 1, [](ArchiveContext* c) { return SetTarMode(c, 0, 0600); }, kResultNotFound},
      {"delete, cut fails", kFaultTruncate, 1, [](ArchiveContext* c) { return DeleteLastMember(c, 2); }, kResultWrite},
      {"rename beyond the list", kFaultOpCount, 0, [](ArchiveContext* c) { return RenameMember(c, 9, u"x"); }, kResultNotFound},
      {"mode of an empty block", kFaultOpCount, 0, [](ArchiveContext* c) { return SetTarMode(c, 3, 0600); }, kResultNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Edited e = EditTar(original, [&](ArchiveContext* ctx) {
      if (c.op != kFaultOpCount) ArmFault(c.op, c.nth);
      if (c.what == std::string("mode of an empty block")) ctx->memberCount = 4;
      ResultCode r = c.edit(ctx);
      DisarmFaults();
      return r;
    });
    EXPECT_EQ(e.result, c.expected);
    EXPECT_EQ(e.archive, original);
  }
}

// One answer for every edit: kResultSave when the archive cannot change, kResultOpen without one.
TEST(Edits, RefuseArchivesThatCannotChange) {
  Bytes damaged = ThreeMemberTar();
  damaged.resize(damaged.size() + 512, 0x61);
  Bytes zip;
  AppendZipEntry(zip, StoredEntry("z.txt", BytesOf("z")));
  AppendCentralDirectory(zip, {"z.txt"});
  const std::pair<const char*, ResultCode (*)(ArchiveContext*)> edits[] = {
      {"rename", [](ArchiveContext* c) { return RenameMember(c, 0, u"x"); }},
      {"mode", [](ArchiveContext* c) { return SetTarMode(c, 0, 0600); }},
      {"delete", [](ArchiveContext* c) { return DeleteLastMember(c, 0); }},
  };
  const std::pair<const char*, const Bytes*> archives[] = {{"damaged.tar", &damaged}, {"a.zip", &zip}};
  ScratchDir dir;
  for (const auto& [archive, bytes] : archives) {
    WriteBytes(dir.Path(archive), *bytes);
    for (const auto& [what, edit] : edits) {
      SCOPED_TRACE(std::string(archive) + ": " + what);
      {
        ListingContext l(dir.Path(archive));
        ASSERT_EQ(l.Open(), kResultOk);
        EXPECT_EQ(edit(&l.context), kResultSave);
        CloseArchive(&l.context);
        EXPECT_EQ(edit(&l.context), kResultOpen);
      }
      EXPECT_EQ(ReadBytes(dir.Path(archive)), *bytes);
    }
  }
}

TEST(DeleteLast, TarEndsWithZeroBlocksWhereTheMemberWas) {
  Bytes original = ThreeMemberTar();
  Edited e = EditTar(original, [](ArchiveContext* c) {
    ResultCode r = DeleteLastMember(c, 2);
    EXPECT_EQ(c->memberCount, 2u);
    EXPECT_EQ(c->appendOffset, 1536u);
    return r;
  });
  ASSERT_EQ(e.result, kResultOk);
  ASSERT_EQ(e.archive.size(), 2560u);
  EXPECT_TRUE(std::equal(original.begin(), original.begin() + 1536, e.archive.begin()));
  EXPECT_EQ(Bytes(e.archive.begin() + 1536, e.archive.end()), Bytes(1024, 0));
  EXPECT_EQ(e.members.size(), 2u);
}

TEST(DeleteLast, QbxEndsAtTheMembersFirstByte) {
  ScratchDir dir;
  Bytes a;
  AppendQbxMember(a, {"one", BytesOf("1")});
  size_t firstEnd = a.size();
  AppendQbxMember(a, {"two", BytesOf("22")});
  WriteBytes(dir.Path("a.qbx"), a);
  {
    ListingContext l(dir.Path("a.qbx"));
    ASSERT_EQ(l.Open(), kResultOk);
    EXPECT_EQ(DeleteLastMember(&l.context, 1), kResultOk);
  }
  EXPECT_EQ(ReadBytes(dir.Path("a.qbx")), Bytes(a.begin(), a.begin() + firstEnd));
}
}  // namespace
