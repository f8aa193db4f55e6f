// Renames, TAR modes, deleting the last member and reverting additions, in place.
#include <gtest/gtest.h>

#include <cstring>

#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"
#include "core/tar.h"
#include "support/archive_builder.h"
#include "support/zip_builder.h"

namespace {
// Members at 0, 1024 and (behind a pax header) 2560.
Bytes ThreeMemberTar() {
  Bytes a;
  AppendTarMember(a, {"file.txt", 3}, BytesOf("abc"));
  AppendTarMember(a, {"folder/", 0, 1600000000, 0755, '5'}, {});
  AppendPaxHeader(a, PaxRecord("mtime", "1600000001"));
  AppendTarMember(a, {"tool", 2, 1600000000, 0104755}, BytesOf("xx"));
  AppendZeroBlocks(a, 2);
  return a;
}

struct Edited {
  ResultCode result;
  Bytes archive;
  std::vector<ListedMember> members;  // listed again afterwards

  const EntryRecord* Member(uint32_t index) const {
    for (const ListedMember& m : members)
      if (m.index == index) return &m.entry;
    return nullptr;
  }
};

template <typename Edit>
Edited EditArchive(const Bytes& original, Edit edit, uint32_t codePage = 65001, const char* name = "a.tar") {
  ScratchDir dir;
  WriteBytes(dir.Path(name), original);
  Edited e;
  {
    ListingContext l(dir.Path(name), codePage);
    EXPECT_EQ(l.Open(), kResultOk);
    e.result = edit(&l.context);
  }
  {
    ListingContext again(dir.Path(name), codePage);
    EXPECT_EQ(again.Open(), kResultOk);
    e.members = again.members;
  }
  // Read once nobody holds the archive: Windows refuses readers of a file opened for writing.
  e.archive = ReadBytes(dir.Path(name));
  return e;
}

// The archive is as before but for the field [from, to) of the header at `header`, and
// that header's checksum and type.
void ExpectSameBut(const Bytes& before, const Bytes& after, size_t header, size_t from, size_t to) {
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    const size_t at = i - header;
    const bool inHeader = i >= header && i < header + kTarBlockSize;
    if (inHeader && ((at >= from && at < to) || (at >= kTarChksumOffset && at <= kTarTypeflagOffset))) continue;
    ASSERT_EQ(after[i], before[i]) << "byte " << i;
  }
}

std::string Euros(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += "\xE2\x82\xAC";
  return s;
}

TEST(Rename, TarNamesTypesAndLimits) {
  // header: the offset of the member's own header.
  struct Case { const char* what; uint32_t index; size_t header; std::u16string name; uint32_t codePage;
                std::string stored; char typeflag; uint32_t attributes; };
  const Case cases[] = {
      {"file to directory", 0, 0, u"now/a/dir/", 65001, "now/a/dir/", '5', 0x10},
      {"directory to file", 1, 1024, u"plain", 65001, "plain", '0', 0x20},
      {"99 bytes of UTF-8 fit", 0, 0, std::u16string(33, u'\u20AC'), 65001, Euros(33), '0', 0x20},
      {"one byte per character where it holds", 0, 0, u"\u00E9t\u00E9", 0, "\xE9t\xE9", '0', 0x20},
      {"UTF-8 where one byte would lose a character", 0, 0, u"\u0141\u00E9", 0, "\xC5\x81\xC3\xA9", '0', 0x20},
      {"backslashes become slashes", 1, 1024, u"now\\a\\dir\\", 65001, "now/a/dir/", '5', 0x10},
      // Only the member's own header changes, not the pax header in front.
      {"member behind a pax header", 2, 2560, u"renamed", 65001, "renamed", '0', 0x20},
  };
  const Bytes original = ThreeMemberTar();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Edited e = EditArchive(original, [&](ArchiveContext* ctx) { return RenameMember(ctx, c.index, c.name.c_str()); },
                           c.codePage);
    EXPECT_EQ(e.result, kResultOk);
    EXPECT_EQ(e.archive[c.header + kTarTypeflagOffset], static_cast<uint8_t>(c.typeflag));
    ExpectSameBut(original, e.archive, c.header, 0, kTarNameSize);
    const EntryRecord* m = e.Member(c.index);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(NameOf(*m), c.stored);
    EXPECT_EQ(m->attributes, c.attributes);
  }
}

// A name held outside the name field, or one that would need such a record, cannot change
// in place: the archive stays as it was, byte for byte.
TEST(Rename, RefusesNamesThatNeedMoreRoomThanTheNameField) {
  struct Case {
    const char* what;
    Bytes archive;
    std::u16string name;
  };
  auto tar = [](auto build) {
    Bytes a;
    build(a);
    AppendZeroBlocks(a, 2);
    return a;
  };
  TarHeaderFields ustar{"name.txt", 1};
  ustar.magic = std::string("ustar\0" "00", 8);
  ustar.prefix = "some/folder";
  const Case cases[] = {
      {"100 bytes", ThreeMemberTar(), std::u16string(100, u'x')},
      {"34 characters of 3 bytes", ThreeMemberTar(), std::u16string(34, u'\u20AC')},
      {"pax path", tar([](Bytes& a) {
         AppendPaxHeader(a, PaxRecord("path", "long/path"));
         AppendTarMember(a, {"long/pa", 1}, BytesOf("x"));
       }), u"short"},
      {"GNU long name", tar([](Bytes& a) {
         AppendGnuLongName(a, std::string(120, 'g'));
         AppendTarMember(a, {std::string(99, 'g'), 1}, BytesOf("x"));
       }), u"short"},
      {"ustar prefix", tar([&](Bytes& a) { AppendTarMember(a, ustar, BytesOf("x")); }), u"short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Edited e = EditArchive(c.archive, [&](ArchiveContext* ctx) { return RenameMember(ctx, 0, c.name.c_str()); });
    EXPECT_EQ(e.result, kResultNameDoesNotFit);
    EXPECT_EQ(e.archive, c.archive);
  }
}

// A name keeps its first 256 characters.
TEST(Rename, QbxNamesAndDirectoryFlag) {
  Bytes a;
  AppendQbxMember(a, {"one", BytesOf("1"), 0, 0x21});
  AppendQbxMember(a, {"two", {}});
  AppendQbxMember(a, {"three", {}});
  const std::u16string longName = std::u16string(250, u'n') + u"0123456789";
  Edited e = EditArchive(a, [&](ArchiveContext* c) {
    EXPECT_EQ(RenameMember(c, 3, u"nothing"), kResultNotFound);
    EXPECT_EQ(RenameMember(c, 1, u"made\\a\\dir/"), kResultOk);
    EXPECT_EQ(RenameMember(c, 2, longName.c_str()), kResultOk);
    return RenameMember(c, 0, u"caf\u00E9");
  }, 65001, "a.qbx");
  EXPECT_EQ(e.result, kResultOk);
  ASSERT_EQ(e.members.size(), 3u);
  EXPECT_EQ(NameOf(e.members[0].entry), "caf\xC3\xA9");
  EXPECT_EQ(e.members[0].entry.attributes, 0x21u);
  EXPECT_EQ(NameOf(e.members[1].entry), "made/a/dir/");
  EXPECT_EQ(e.members[1].entry.attributes, 0x30u);  // archive bit kept, directory added
  EXPECT_EQ(NameOf(e.members[2].entry), std::string(250, 'n') + "012345");
}

TEST(SetTarMode, KeepsTheFieldLayoutAndSetUserIdBit) {
  // "000644 \0": six digits, a space and a zero byte keep that layout.
  Bytes spaced = TarHeader({"s", 0});
  std::memcpy(&spaced[kTarModeOffset], "000644 \0", 8);
  RefreshTarChecksum(spaced.data());
  AppendZeroBlocks(spaced, 2);
  struct Case { const char* what; Bytes archive; uint32_t index; size_t header; uint32_t mode; std::string field; };
  const Case cases[] = {
      {"set-user-ID kept", ThreeMemberTar(), 2, 2560, 0640, std::string("0104640\0", 8)},
      {"plain", ThreeMemberTar(), 0, 0, 0600, std::string("0000600\0", 8)},
      {"six digits and a space", spaced, 0, 0, 0751, std::string("000751 \0", 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Edited e = EditArchive(c.archive, [&](ArchiveContext* ctx) { return SetTarMode(ctx, c.index, c.mode); });
    ASSERT_EQ(e.result, kResultOk);
    EXPECT_EQ(std::string(e.archive.begin() + c.header + kTarModeOffset, e.archive.begin() + c.header + 108), c.field);
    ExpectSameBut(c.archive, e.archive, c.header, kTarModeOffset, kTarModeOffset + 8);
    ASSERT_NE(e.Member(c.index), nullptr);
    EXPECT_EQ(e.Member(c.index)->mode & 0777, c.mode);
  }
}

using Edit = ResultCode (*)(ArchiveContext*);
ResultCode RenameFirst(ArchiveContext* c) { return RenameMember(c, 0, u"x"); }
ResultCode ModeOfFirst(ArchiveContext* c) { return SetTarMode(c, 0, 0600); }

TEST(Edits, RefusalsAndFailuresLeaveTheArchiveAlone) {
  const Bytes original = ThreeMemberTar();
  struct Case { const char* what; FaultOp op; Edit edit; ResultCode expected; };
  const Case cases[] = {
      {"rename, write fails", kFaultWrite, RenameFirst, kResultWrite},
      {"rename, read fails", kFaultRead, RenameFirst, kResultRead},
      {"mode, write fails", kFaultWrite, ModeOfFirst, kResultWrite},
      {"mode, seek fails", kFaultSeek, ModeOfFirst, kResultNotFound},
      {"delete, cut fails", kFaultTruncate, [](ArchiveContext* c) { return DeleteLastMember(c, 2); }, kResultWrite},
      {"rename beyond the list", kFaultOpCount, [](ArchiveContext* c) { return RenameMember(c, 9, u"x"); }, kResultNotFound},
      {"mode of an empty block", kFaultOpCount,
       [](ArchiveContext* c) { return c->memberCount = 4, SetTarMode(c, 3, 0600); }, kResultNotFound},
      // A name a reader would take for an extended header is not stored.
      {"rename to a pax header name", kFaultOpCount, [](ArchiveContext* c) { return RenameMember(c, 0, u"././@PaxHeader"); },
       kResultOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Edited e = EditArchive(original, [&](ArchiveContext* ctx) {
      if (c.op != kFaultOpCount) ArmFault(c.op, 1);
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
  const Bytes zip = ZipArchive({StoredEntry("z.txt", BytesOf("z"))});
  const std::pair<const char*, Edit> edits[] = {
      {"rename", RenameFirst},
      {"mode", ModeOfFirst},
      {"delete", [](ArchiveContext* c) { return DeleteLastMember(c, 0); }},
      {"revert", [](ArchiveContext* c) { return RevertAdditions(c, 0, 0); }},
      {"append", [](ArchiveContext* c) { return AppendFile(c, c->archivePath, u"x"); }},
  };
  ScratchDir dir;
  for (const auto& [archive, bytes] : {std::pair<const char*, const Bytes*>{"damaged.tar", &damaged}, {"a.zip", &zip}}) {
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
  const Bytes original = ThreeMemberTar();
  Edited e = EditArchive(original, [](ArchiveContext* c) {
    ResultCode r = DeleteLastMember(c, 2);
    EXPECT_EQ(c->memberCount, 2u);
    EXPECT_EQ(c->appendOffset, 1536u);
    return r;
  });
  ASSERT_EQ(e.result, kResultOk);
  Bytes expected(original.begin(), original.begin() + 1536);
  AppendZeroBlocks(expected, 2);
  EXPECT_EQ(e.archive, expected);
  EXPECT_EQ(e.members.size(), 2u);
}

TEST(DeleteLast, QbxEndsAtTheMembersFirstByte) {
  Bytes a;
  AppendQbxMember(a, {"one", BytesOf("1")});
  const Bytes first = a;
  AppendQbxMember(a, {"two", BytesOf("22")});
  Edited e = EditArchive(a, [](ArchiveContext* c) { return DeleteLastMember(c, 1); }, 65001, "a.qbx");
  EXPECT_EQ(e.result, kResultOk);
  EXPECT_EQ(e.archive, first);
}
}  // namespace
