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
  ResultCode r;
  {
    ListingContext l(dir.Path(name), codePage);
    EXPECT_EQ(l.Open(), kResultOk);
    r = edit(&l.context);
  }
  std::vector<ListedMember> members;
  {
    ListingContext again(dir.Path(name), codePage);
    EXPECT_EQ(again.Open(), kResultOk);
    members = again.members;
  }
  // Read once nobody holds the archive: Windows refuses readers of a file opened for writing.
  return {r, ReadBytes(dir.Path(name)), members};
}

// The archive is as before but for the field [from, to) of the header at `header`, and
// that header's checksum and type.
void ExpectSameBut(const Bytes& before, const Bytes& after, size_t header, size_t from, size_t to) {
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    const bool inHeader = i >= header && i < header + kTarBlockSize;
    const size_t at = i - header;
    if (inHeader && ((at >= from && at < to) || (at >= kTarChksumOffset && at <= kTarTypeflagOffset))) continue;
    ASSERT_EQ(after[i], before[i]) << "byte " << i;
  }
}

TEST(Rename, TarNamesTypesAndLimits) {
  struct Case {
    const char* what;
    uint32_t index;
    size_t header;
    std::u16string name;
    uint32_t codePage;
    std::string stored;
    char typeflag;
    uint32_t attributes;
  };
  const Case cases[] = {
      {"file to directory", 0, 0, u"now/a/dir/", 65001, "now/a/dir/", '5', 0x10},
      {"directory to file", 1, 1024, u"plain", 65001, "plain", '0', 0x20},
      {"150 characters keep 99 bytes", 0, 0, std::u16string(150, u'x'), 65001, std::string(99, 'x'), '0', 0x20},
      {"UTF-8 cut inside a character", 0, 0, std::u16string(40, u'\u20AC'), 65001,
       [] { std::string s; for (int i = 0; i < 33; ++i) s += "\xE2\x82\xAC"; return s; }(), '0', 0x20},
      {"one byte per character keeps the low byte", 0, 0, u"\u0141\u00E9", 0, "\x41\xE9", '0', 0x20},
      {"backslashes become slashes", 1, 1024, u"now\\a\\dir\\", 65001, "now/a/dir/", '5', 0x10},
      // The pax header in front keeps its path record: only the member's own header changes.
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

TEST(Rename, QbxNamesAndDirectoryFlag) {
  Bytes a;
  AppendQbxMember(a, {"one", BytesOf("1"), 0, 0x21});
  AppendQbxMember(a, {"two", {}});
  Edited e = EditArchive(a, [](ArchiveContext* c) {
    EXPECT_EQ(RenameMember(c, 2, u"nothing"), kResultNotFound);
    EXPECT_EQ(RenameMember(c, 1, u"made/a/dir/"), kResultOk);
    return RenameMember(c, 0, u"caf\u00E9");
  }, 65001, "a.qbx");
  EXPECT_EQ(e.result, kResultOk);
  ASSERT_EQ(e.members.size(), 2u);
  EXPECT_EQ(NameOf(e.members[0].entry), "caf\xC3\xA9");
  EXPECT_EQ(e.members[0].entry.attributes, 0x21u);
  EXPECT_EQ(e.members[1].entry.attributes, 0x30u);  // archive bit kept, directory added
}

TEST(SetTarMode, KeepsTheFieldLayoutAndSetUserIdBit) {
  // "000644 \0": six digits, a space and a zero byte keep that layout.
  Bytes spaced = TarHeader({"s", 0});
  std::memcpy(&spaced[kTarModeOffset], "000644 \0", 8);
  RefreshTarChecksum(spaced.data());
  AppendZeroBlocks(spaced, 2);
  struct Case {
    const char* what;
    Bytes archive;
    uint32_t index;
    size_t header;
    uint32_t mode;
    std::string field;
  };
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
      {"mode of an empty block", kFaultOpCount, 0,
       [](ArchiveContext* c) {
         c->memberCount = 4;
         return SetTarMode(c, 3, 0600);
       },
       kResultNotFound},
      // A name a reader would take for an extended header is not stored.
      {"rename to a pax header name", kFaultOpCount, 0, [](ArchiveContext* c) { return RenameMember(c, 0, u"././@PaxHeader"); },
       kResultOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Edited e = EditArchive(original, [&](ArchiveContext* ctx) {
      if (c.op != kFaultOpCount) ArmFault(c.op, c.nth);
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
      {"revert", [](ArchiveContext* c) { return RevertAdditions(c, 0, 0); }},
      {"append", [](ArchiveContext* c) { return AppendFile(c, c->archivePath, u"x"); }},
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
