// Renames and deleting the last member in a ZIP that grows: the result is the archive a
// writer would have made; a refusal or a failure leaves it byte for byte as it was.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/fault_sweep.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace {
const std::vector<ZipEntryFields> kEntries = {StoredEntry("ab.txt", BytesOf("hello\n")), StoredEntry("sub/", {}),
                                              DeflatedEntry("b/c.bin", Pattern(5000))};
const Bytes kThree = ZipWithDirectory(kEntries, {});
const Bytes kTwo = ZipWithDirectory({kEntries[0], kEntries[1]}, {});

// One central name a byte longer than its local header's (another writer's).
Bytes LongerCentralName() {
  Bytes a = ZipWithDirectory({kEntries[0]}, {});
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

struct RenameCase { const char* what; uint32_t index; std::u16string name; ResultCode expected; std::string stored = "";
                    Bytes archive = kThree; };
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
class ZipRename : public ZipEdit, public testing::WithParamInterface<RenameCase> {};

TEST_P(ZipRename, RenamesInBothHeadersOrLeavesTheArchiveAlone) {
  const RenameCase& c = GetParam();
  ArchiveContext& context = Open(c.archive);
  EXPECT_EQ(RenameMember(&context, c.index, c.name.c_str()), c.expected);
  std::vector<ZipEntryFields> entries = kEntries;
  if (c.expected == kResultOk) entries[c.index].name = c.stored, entries[c.index].flags |= 0x0800;  // UTF-8
  const Bytes after = ReadOpenArchive(context);
  EXPECT_EQ(after, c.expected == kResultOk ? ZipWithDirectory(entries, {}) : c.archive);
  if (c.expected == kResultOk) {
    EXPECT_EQ(ListBytes(after, "b.zip").members.at(c.index).name, c.stored);
  }
}
INSTANTIATE_TEST_SUITE_P(ZipEdit, ZipRename, testing::ValuesIn(kRenames), CaseName());

// Down to the end record alone; the cut is the new revert point and the archive grows on.
TEST_F(ZipEdit, DeleteLastLeavesTheArchiveOfTheMembersBefore) {
  ArchiveContext& context = Open(kThree);
  ASSERT_EQ(DeleteLastMember(&context, 2), kResultOk);
  EXPECT_EQ(ReadOpenArchive(context), kTwo);
  EXPECT_EQ(context.revertSize, kTwo.size());
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
using Edit = std::function<ResultCode(ArchiveContext*)>;
struct FaultCase { const char* what; Bytes archive; uint32_t count; Edit edit; uint32_t minFailures; };
const FaultCase kFaultCases[] = {
    {"rename", kThree, 3, [](ArchiveContext* c) { return RenameMember(c, 2, u"b/d.bin"); }, 11},
    {"delete a member longer than the new directory", kThree, 3, [](ArchiveContext* c) { return DeleteLastMember(c, 2); }, 6},
    {"delete a member shorter than the new directory", kTwo, 2, [](ArchiveContext* c) { return DeleteLastMember(c, 1); }, 6},
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
