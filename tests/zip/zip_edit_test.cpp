// Renaming members of a ZIP that grows and deleting its last member, in place: the result is
// the archive a writer of the new names would have made; a refusal or a failure leaves it
// byte for byte as it was.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"
#include "support/case_name.h"
#include "support/fault_sweep.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace {
const std::vector<ZipEntryFields> kEntries = {StoredEntry("ab.txt", BytesOf("hello\n")), StoredEntry("sub/", {}),
                                              DeflatedEntry("b/c.bin", Pattern(5000))};
const Bytes kThree = ZipWithDirectory(kEntries, {});
const Bytes kTwo = ZipWithDirectory({kEntries[0], kEntries[1]}, {});

// The archive a writer would make with the member named so: UTF-8, flagged.
Bytes WrittenWithName(uint32_t index, const std::string& name) {
  std::vector<ZipEntryFields> entries = kEntries;
  entries[index].name = name;
  entries[index].flags |= 0x0800;
  return ZipWithDirectory(entries, {});
}

using Edit = std::function<ResultCode(ArchiveContext*)>;
Edit Rename(uint32_t index, const std::u16string& name) {
  return [=](ArchiveContext* c) { return RenameMember(c, index, name.c_str()); };
}
Edit Delete(uint32_t index) {
  return [=](ArchiveContext* c) { return DeleteLastMember(c, index); };
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
  const char* what;
  uint32_t index;
  std::u16string name;
  ResultCode expected;
  std::string stored = "";
};
const RenameCase kRenames[] = {
    {"same length", 0, u"zz.txt", kResultOk, "zz.txt"},
    {"non-ASCII of the same length in bytes", 0, u"\u00E9.txt", kResultOk, "\xC3\xA9.txt"},
    {"backslashes become slashes", 2, u"b\\d.bin", kResultOk, "b/d.bin"},
    {"folder stays a folder", 1, u"new/", kResultOk, "new/"},
    {"longer name", 0, u"abc.txt", kResultNameLengthFixed},
    {"shorter name", 0, u"a.txt", kResultNameLengthFixed},
    {"folder made a file", 1, u"subs", kResultNameChangesType},
    {"file made a folder", 0, u"ab.tx/", kResultNameChangesType},
    {"beyond the list", 3, u"x", kResultNotFound},
};
class ZipRename : public ZipEdit, public testing::WithParamInterface<RenameCase> {};

TEST_P(ZipRename, RenamesInBothHeadersOrLeavesTheArchiveAlone) {
  const RenameCase& c = GetParam();
  ArchiveContext& context = Open(kThree);
  EXPECT_EQ(RenameMember(&context, c.index, c.name.c_str()), c.expected);
  if (c.expected != kResultOk) {
    EXPECT_EQ(ReadOpenArchive(context), kThree);
    return;
  }
  EXPECT_EQ(ReadOpenArchive(context), WrittenWithName(c.index, c.stored));
  EXPECT_EQ(l->members.back().name, c.stored);  // as the row is rewritten
  l.reset();
  ListingContext again(dir.Path("a.zip"));
  ASSERT_EQ(again.Open(), kResultOk);
  EXPECT_EQ(again.context.openMode, kModeReadWrite);
  ASSERT_EQ(again.members.size(), 3u);
  EXPECT_EQ(again.members[c.index].name, c.stored);
}
INSTANTIATE_TEST_SUITE_P(ZipEdit, ZipRename, testing::ValuesIn(kRenames), CaseName());

// The local header has no room for a name as long as its central record's (another writer's).
TEST_F(ZipEdit, ANameTheLocalHeaderHasNoRoomForIsRefused) {
  Bytes a = ZipWithDirectory({kEntries[0]}, {});
  const size_t central = 30 + 6 + 6;
  a.insert(a.begin() + central + 46 + 6, 'x');  // "ab.txtx"
  a[central + 28] = 7;
  a[a.size() - 22 + 12] += 1;  // the directory's size
  ArchiveContext& context = Open(a);
  EXPECT_EQ(RenameMember(&context, 0, u"xy.txtz"), kResultNameLengthFixed);
  EXPECT_EQ(ReadOpenArchive(context), a);
}

// The directory goes where the last member began, down to the end record alone. The cut is
// the new revert point, and the archive grows on from there.
TEST_F(ZipEdit, DeleteLastLeavesTheArchiveOfTheMembersBefore) {
  ArchiveContext& context = Open(kThree);
  ASSERT_EQ(DeleteLastMember(&context, 2), kResultOk);
  EXPECT_EQ(ReadOpenArchive(context), kTwo);
  EXPECT_EQ(context.memberCount, 2u);
  EXPECT_EQ(context.revertSize, kTwo.size());
  const uint64_t cut = context.appendOffset;
  WriteBytes(dir.Path("src"), BytesOf("new member"));
  const std::u16string src = Wide(dir.Path("src"));
  ASSERT_EQ(AppendFile(&context, src.c_str(), u"new"), kResultOk);
  ASSERT_EQ(RevertAdditions(&context, 2, cut), kResultOk);
  EXPECT_EQ(ReadOpenArchive(context), kTwo);
  ASSERT_EQ(AppendFile(&context, src.c_str(), u"new"), kResultOk);
  {
    l.reset();
    ListingContext again(dir.Path("a.zip"));
    ASSERT_EQ(again.Open(), kResultOk);
    ASSERT_EQ(again.members.size(), 3u);
    EXPECT_EQ(again.members.back().name, "new");
  }
  Open(kTwo);
  ASSERT_EQ(DeleteLastMember(&l->context, 1), kResultOk);
  ASSERT_EQ(DeleteLastMember(&l->context, 0), kResultOk);
  EXPECT_EQ(ReadOpenArchive(l->context), ZipWithDirectory({}, {}));
}

// Every read, write, seek and truncation of an edit fails once in turn: the archive and the
// directory kept in memory are as they were (written again, it changes nothing).
struct FaultCase { const char* what; Bytes archive; Edit edit; uint32_t minFailures; };
const FaultCase kFaultCases[] = {
    {"rename", kThree, Rename(2, u"b/d.bin"), 11},
    {"delete a member longer than the new directory", kThree, Delete(2), 6},
    {"delete a member shorter than the new directory", kTwo, Delete(1), 6},
};
class ZipEditFaults : public ZipEdit, public testing::WithParamInterface<FaultCase> {};

TEST_P(ZipEditFaults, EachFailingCallIsPutBack) {
  const FaultCase& c = GetParam();
  const uint32_t failures = FailEachCallOnce(
      {{kFaultWrite, kResultWrite}, {kFaultSeek, kResultRead}, {kFaultTruncate, kResultWrite}, {kFaultRead, kResultRead}},
      [&] { Open(c.archive); }, [&] { return c.edit(&l->context); },
      [&](const FaultShot& shot, ResultCode r) {
        // The first seek is the one that finds the member.
        EXPECT_EQ(r, shot.op == kFaultSeek && shot.nth == 1 ? kResultNotFound : shot.expected);
        EXPECT_EQ(ReadOpenArchive(l->context), c.archive);
        const uint32_t count = l->context.memberCount;
        EXPECT_EQ(count, c.archive == kThree ? 3u : 2u);
        EXPECT_EQ(l->context.fileSize, c.archive.size());
        EXPECT_EQ(RevertAdditions(&l->context, count, l->context.appendOffset), kResultOk);
        EXPECT_EQ(ReadOpenArchive(l->context), c.archive);
      });
  EXPECT_GE(failures, c.minFailures);
}
INSTANTIATE_TEST_SUITE_P(ZipEdit, ZipEditFaults, testing::ValuesIn(kFaultCases), CaseName());
}  // namespace
