// Renames, TAR modes, deleting the last member and reverting additions, in place; in a ZIP
// that grows, the result is the archive a writer would have made, and a refusal or a failure
// leaves it byte for byte as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"
#include "core/tar.h"
#include "support/archive_builder.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/fault_sweep.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace {
// Members at 0, 1024 and (behind a pax header) 2560.
const Bytes kThree = Joined({TarMember({"file.txt", 3}, BytesOf("abc")), TarMember({"folder/", 0, 1600000000, 0755, '5'}),
                             PaxHeader(PaxRecord("mtime", "1600000001")),
                             TarBytes({{{"tool", 2, 1600000000, 0104755}, BytesOf("xx")}})});

using Edit = std::function<ResultCode(ArchiveContext*)>;
Edit Rename(uint32_t index, const std::u16string& name) {
  return [=](ArchiveContext* c) { return RenameMember(c, index, name.c_str()); };
}
Edit Mode(uint32_t index, uint32_t mode) {
  return [=](ArchiveContext* c) { return SetTarMode(c, index, mode); };
}

// The edit's result, the archive's bytes afterwards and its members listed again.
struct Edited { ResultCode result; Bytes archive; std::vector<ListedMember> members; };

Edited EditArchive(const Bytes& original, const Edit& edit, uint32_t codePage = 65001, const char* name = "a.tar") {
  ScratchDir dir;
  WriteBytes(dir.Path(name), original);
  ResultCode result;
  {
    ListingContext l(dir.Path(name), codePage);
    EXPECT_EQ(l.Open(), kResultOk);
    result = edit(&l.context);
  }
  // Read once nobody holds the archive: Windows refuses readers of a file opened for writing.
  const Bytes archive = ReadBytes(dir.Path(name));
  return {result, archive, ListBytes(archive, name, codePage).members};
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

// The name field as stored: the name, then zeros.
std::string NameField(const std::string& name) { return name + std::string(kTarNameSize - name.size(), '\0'); }
Bytes SpacedMode() {  // "000640 \0": six digits, a space and a zero byte
  Bytes a = TarBytes({{{"s", 0}, {}}});
  std::memcpy(&a[kTarModeOffset], "000640 \0", 8);
  RefreshTarChecksum(a.data());
  return a;
}

// The edit of the member at index, whose own header is at `header`; the field at `from`
// must then hold `field`.
struct TarEditCase { const char* what; Edit edit; uint32_t index; size_t header, from; std::string field; char typeflag;
                     uint32_t codePage = 65001; Bytes archive = kThree; };
const TarEditCase kTarEdits[] = {
    {"rename file to directory", Rename(0, u"now/a/dir/"), 0, 0, 0, NameField("now/a/dir/"), '5'},
    {"rename directory to file", Rename(1, u"plain"), 1, 1024, 0, NameField("plain"), '0'},
    {"rename to 99 bytes of UTF-8", Rename(0, std::u16string(33, u'\u20AC')), 0, 0, 0,
     NameField([] { std::string s; for (int i = 0; i < 33; ++i) s += "\xE2\x82\xAC"; return s; }()), '0'},
    {"one byte per character where it holds", Rename(0, u"\u00E9t\u00E9"), 0, 0, 0, NameField("\xE9t\xE9"), '0', 0},
    {"UTF-8 where one byte would lose a character", Rename(0, u"\u0141\u00E9"), 0, 0, 0, NameField("\xC5\x81\xC3\xA9"),
     '0', 0},
    {"backslashes become slashes", Rename(1, u"now\\a\\dir\\"), 1, 1024, 0, NameField("now/a/dir/"), '5'},
    // Only the member's own header changes, not the pax header in front.
    {"rename the member behind a pax header", Rename(2, u"renamed"), 2, 2560, 0, NameField("renamed"), '0'},
    {"mode keeps set-user-ID", Mode(2, 0640), 2, 2560, kTarModeOffset, std::string("0104640\0", 8), '0'},
    {"mode", Mode(0, 0600), 0, 0, kTarModeOffset, std::string("0000600\0", 8), '0'},
    {"mode keeps six digits and a space", Mode(0, 0751), 0, 0, kTarModeOffset, std::string("000751 \0", 8), '0', 65001,
     SpacedMode()},
};
class TarEdit : public testing::TestWithParam<TarEditCase> {};

// Listed again, the member is there: a wrong checksum would end the list in front of it.
TEST_P(TarEdit, ChangesOnlyItsFieldTheTypeAndTheChecksum) {
  const TarEditCase& c = GetParam();
  Edited e = EditArchive(c.archive, c.edit, c.codePage);
  EXPECT_EQ(e.result, kResultOk);
  EXPECT_EQ(std::string(e.archive.begin() + c.header + c.from, e.archive.begin() + c.header + c.from + c.field.size()),
            c.field);
  EXPECT_EQ(e.archive[c.header + kTarTypeflagOffset], static_cast<uint8_t>(c.typeflag));
  ExpectSameBut(c.archive, e.archive, c.header, c.from, c.from + c.field.size());
  EXPECT_GT(e.members.size(), c.index);
}
INSTANTIATE_TEST_SUITE_P(Edit, TarEdit, testing::ValuesIn(kTarEdits), CaseName());

// A name keeps its first 256 characters.
TEST(Rename, QbxNamesAndDirectoryFlag) {
  const Bytes a = QbxBytes({{"one", BytesOf("1"), 0, 0x21}, {"two", {}}, {"three", {}}});
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

// A name held outside the name field, or one that would need such a record, cannot change
// in place; neither can anything when a call fails.
struct RefusalCase {
  std::string what; Bytes archive; Edit edit; ResultCode expected; FaultOp fault = kFaultOpCount; const char* file = "a.tar";
};
std::vector<RefusalCase> RefusalCases() {
  const Bytes ustarPrefixed = TarBytes(
      {{{.name = "name.txt", .size = 1, .magic = std::string("ustar\0" "00", 8), .prefix = "some/folder"}, BytesOf("x")}});
  const Bytes paxPath = Joined({PaxHeader(PaxRecord("path", "long/path")), TarBytes({{{"long/pa", 1}, BytesOf("x")}})});
  const Bytes gnuLongNamed =
      Joined({GnuLongName(std::string(120, 'g')), TarBytes({{{std::string(99, 'g'), 1}, BytesOf("x")}})});
  const Bytes damagedTar = Joined({kThree, Bytes(512, 0x61)});
  std::vector<RefusalCase> cases = {
      {"rename to 100 bytes", kThree, Rename(0, std::u16string(100, u'x')), kResultNameDoesNotFit},
      {"rename to 34 characters of 3 bytes", kThree, Rename(0, std::u16string(34, u'\u20AC')), kResultNameDoesNotFit},
      {"rename a pax path", paxPath, Rename(0, u"short"), kResultNameDoesNotFit},
      {"rename a GNU long name", gnuLongNamed, Rename(0, u"short"), kResultNameDoesNotFit},
      {"rename a name with a ustar prefix", ustarPrefixed, Rename(0, u"short"), kResultNameDoesNotFit},
      {"rename, write fails", kThree, Rename(0, u"x"), kResultWrite, kFaultWrite},
      {"rename, read fails", kThree, Rename(0, u"x"), kResultRead, kFaultRead},
      {"mode, write fails", kThree, Mode(0, 0600), kResultWrite, kFaultWrite},
      {"mode, seek fails", kThree, Mode(0, 0600), kResultNotFound, kFaultSeek},
      {"delete, cut fails", kThree, [](ArchiveContext* c) { return DeleteLastMember(c, 2); }, kResultWrite, kFaultTruncate},
      {"rename beyond the list", kThree, Rename(9, u"x"), kResultNotFound},
      {"mode of an empty block", kThree, [](ArchiveContext* c) { return c->memberCount = 4, SetTarMode(c, 3, 0600); },
       kResultNotFound},
      // A name a reader would take for an extended header is not stored.
      {"rename to a pax header name", kThree, Rename(0, u"././@PaxHeader"), kResultOk},
  };
  // One answer for every edit: kResultSave when the archive cannot change, kResultOpen without one.
  const std::pair<std::string, Edit> edits[] = {
      {"rename", Rename(0, u"x")}, {"mode", Mode(0, 0600)}, {"delete", [](ArchiveContext* c) { return DeleteLastMember(c, 0); }},
      {"revert", [](ArchiveContext* c) { return RevertAdditions(c, 0, 0); }},
      {"append", [](ArchiveContext* c) { return AppendFile(c, c->archivePath, u"x"); }}};
  // A ZIP changes only when its end is ours (a comment makes it read-only), and takes no modes.
  const Bytes zip = ZipArchive({StoredEntry("z.txt", BytesOf("z"))});
  Bytes commented = zip;
  commented[commented.size() - 2] = 1;
  commented.push_back('c');
  for (const auto& [what, edit] : edits) {
    cases.push_back({what + " in a damaged TAR", damagedTar, edit, kResultSave});
    cases.push_back({what + " in a ZIP with a comment", commented, edit, kResultSave, kFaultOpCount, "a.zip"});
    if (what == "mode") cases.push_back({what + " in a ZIP", zip, edit, kResultSave, kFaultOpCount, "a.zip"});
    cases.push_back({what + " when closed", kThree, [=](ArchiveContext* c) { return CloseArchive(c), edit(c); }, kResultOpen});
  }
  return cases;
}

class EditRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(EditRefusal, LeavesTheArchiveAlone) {
  const RefusalCase& c = GetParam();
  Edited e = EditArchive(c.archive, [&](ArchiveContext* ctx) {
    if (c.fault != kFaultOpCount) ArmFault(c.fault, 1);
    const ResultCode r = c.edit(ctx);
    DisarmFaults();
    return r;
  }, 65001, c.file);
  EXPECT_EQ(e.result, c.expected);
  EXPECT_EQ(e.archive, c.archive);
}
INSTANTIATE_TEST_SUITE_P(Edits, EditRefusal, testing::ValuesIn(RefusalCases()), CaseName());

// A TAR ends with zero blocks where the member was; a QBX at the member's first byte.
TEST(DeleteLast, CutsTheArchiveWhereTheMemberBegan) {
  const Bytes tarKept = Joined({Bytes(kThree.begin(), kThree.begin() + 1536), Bytes(1024, 0)});
  const Bytes qbxKept = QbxBytes({{"one", BytesOf("1")}});
  struct Case { const char* file; Bytes archive; uint32_t last; Bytes kept; uint64_t end; };
  const Case cases[] = {{"a.tar", kThree, 2, tarKept, 1536},
                        {"a.qbx", Joined({qbxKept, QbxBytes({{"two", BytesOf("22")}})}), 1, qbxKept, 517}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Edited e = EditArchive(c.archive, [&](ArchiveContext* ctx) {
      const ResultCode r = DeleteLastMember(ctx, c.last);
      EXPECT_EQ(ctx->memberCount, c.last);
      EXPECT_EQ(ctx->appendOffset, c.end);
      EXPECT_EQ(RevertAdditions(ctx, c.last, c.end), kResultOk);  // the cut is the new revert point
      return r;
    }, 65001, c.file);
    EXPECT_EQ(e.result, kResultOk);
    EXPECT_EQ(e.archive, c.kept);
    EXPECT_EQ(e.members.size(), c.last);
  }
}

// ---- Renames and deleting the last member in a ZIP that grows.

const std::vector<ZipEntryFields> kZipEntries = {StoredEntry("ab.txt", BytesOf("hello\n")), StoredEntry("sub/", {}),
                                              DeflatedEntry("b/c.bin", Pattern(5000))};
const Bytes kZipThree = ZipWithDirectory(kZipEntries, {});
const Bytes kZipTwo = ZipWithDirectory({kZipEntries[0], kZipEntries[1]}, {});

// One central name a byte longer than its local header's (another writer's).
Bytes LongerCentralName() {
  Bytes a = ZipWithDirectory({kZipEntries[0]}, {});
  const size_t central = 30 + 6 + 6;
  a.insert(a.begin() + central + 46 + 6, 'x');
  a[central + 28] = 7;
  a[a.size() - 22 + 12] += 1;  // the directory's size
  return a;
}

class ZipEdit : public testing::Test {
 protected:
  ArchiveContext& Open(const Bytes& archive) {
    l.reset();
    WriteBytes(dir.Path("a.zip"), archive);
    l.emplace(dir.Path("a.zip"));
    EXPECT_EQ(l->Open(), kResultOk);
    EXPECT_EQ(l->context.openMode, kModeReadWrite);
    return l->context;
  }
  ScratchDir dir;
  std::optional<ListingContext> l;
};

struct RenameCase {
  const char* what; uint32_t index; std::u16string name; ResultCode expected; std::string stored = ""; Bytes archive = kZipThree;
};
const RenameCase kRenames[] = {
    {"same length", 0, u"zz.txt", kResultOk, "zz.txt"},
    {"non-ASCII of the same length in bytes", 0, u"\u00E9.txt", kResultOk, "\xC3\xA9.txt"},
    {"backslashes become slashes", 2, u"b\\d.bin", kResultOk, "b/d.bin"},
    {"folder stays a folder", 1, u"new/", kResultOk, "new/"},
    {"longer name", 0, u"abc.txt", kResultNameLengthFixed},
    {"shorter name", 0, u"a.txt", kResultNameLengthFixed},
    {"no room in the local header", 0, u"xy.txtz", kResultNameLengthFixed, "", LongerCentralName()},
    {"folder made a file", 1, u"subs", kResultNameChangesType},
    {"file made a folder", 0, u"ab.tx/", kResultNameChangesType},
    {"beyond the list", 3, u"x", kResultNotFound},
};
class ZipRename : public testing::TestWithParam<RenameCase> {};

TEST_P(ZipRename, RenamesInBothHeadersOrLeavesTheArchiveAlone) {
  const RenameCase& c = GetParam();
  const Edited e = EditArchive(c.archive, Rename(c.index, c.name), 65001, "a.zip");
  EXPECT_EQ(e.result, c.expected);
  std::vector<ZipEntryFields> entries = kZipEntries;
  if (c.expected == kResultOk) entries[c.index].name = c.stored, entries[c.index].flags |= 0x0800;  // UTF-8
  EXPECT_EQ(e.archive, c.expected == kResultOk ? ZipWithDirectory(entries, {}) : c.archive);
  if (c.expected == kResultOk) { EXPECT_EQ(e.members.at(c.index).name, c.stored); }
}
INSTANTIATE_TEST_SUITE_P(ZipEdit, ZipRename, testing::ValuesIn(kRenames), CaseName());

// Down to the end record alone; the cut is the new revert point and the archive grows on.
TEST_F(ZipEdit, DeleteLastLeavesTheArchiveOfTheMembersBefore) {
  ArchiveContext& context = Open(kZipThree);
  ASSERT_EQ(DeleteLastMember(&context, 2), kResultOk);
  EXPECT_EQ(ReadOpenArchive(context), kZipTwo);
  EXPECT_EQ(context.revertSize, kZipTwo.size());
  const uint64_t cut = context.appendOffset;
  WriteBytes(dir.Path("src"), BytesOf("new member"));
  ASSERT_EQ(AppendFile(&context, Wide(dir.Path("src")).c_str(), u"new"), kResultOk);
  EXPECT_EQ(ListBytes(ReadOpenArchive(context), "b.zip").members.at(2).name, "new");
  ASSERT_EQ(RevertAdditions(&context, 2, cut), kResultOk);
  ASSERT_EQ(DeleteLastMember(&context, 1), kResultOk);
  ASSERT_EQ(DeleteLastMember(&context, 0), kResultOk);
  EXPECT_EQ(ReadOpenArchive(context), ZipWithDirectory({}, {}));
}

// Every read, write, seek and truncation of an edit fails once in turn: the archive, and the
// directory in memory (a revert writes it again), are as they were.
struct FaultCase { const char* what; Bytes archive; uint32_t count; Edit edit; uint32_t minFailures; };
const FaultCase kFaultCases[] = {
    {"rename", kZipThree, 3, Rename(2, u"b/d.bin"), 11},
    {"delete a member longer than the new directory", kZipThree, 3, [](ArchiveContext* c) { return DeleteLastMember(c, 2); }, 6},
    {"delete a member shorter than the new directory", kZipTwo, 2, [](ArchiveContext* c) { return DeleteLastMember(c, 1); }, 6},
};
class ZipEditFaults : public ZipEdit, public testing::WithParamInterface<FaultCase> {};

TEST_P(ZipEditFaults, EachFailingCallIsPutBack) {
  const FaultCase& c = GetParam();
  const uint32_t failures = FailEachCallOnce(
      {{kFaultWrite, kResultWrite}, {kFaultSeek, kResultRead}, {kFaultTruncate, kResultWrite}, {kFaultRead, kResultRead}},
      [&] { Open(c.archive); }, [&] { return c.edit(&l->context); },
      [&](const FaultShot& shot, ResultCode r) {
        EXPECT_EQ(r, shot.op == kFaultSeek && shot.nth == 1 ? kResultNotFound : shot.expected);  // finding the member
        EXPECT_EQ(ReadOpenArchive(l->context), c.archive);
        EXPECT_EQ(l->context.memberCount, c.count);
        EXPECT_EQ(RevertAdditions(&l->context, c.count, l->context.appendOffset), kResultOk);
        EXPECT_EQ(ReadOpenArchive(l->context), c.archive);
      });
  EXPECT_GE(failures, c.minFailures);
}
INSTANTIATE_TEST_SUITE_P(ZipEdit, ZipEditFaults, testing::ValuesIn(kFaultCases), CaseName());
}  // namespace
