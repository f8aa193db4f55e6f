// Extraction and test walks of TAR and QBX archives, folders, and the safe replace.
#include <gtest/gtest.h>

#include <cstring>

#include "core/archive.h"
#include "core/filetime.h"
#include "core/folders.h"
#include "core/names.h"
#include "core/progress.h"
#include "core/qbx.h"
#include "support/archive_builder.h"
#include "support/source_files.h"

namespace {
// Walks the archive the way qbx does: every member processed, directories made.
uint32_t ProcessAll(ArchiveContext* context) {
  uint32_t n = WideLength(context->memberName);
  if (n > 0 && (context->memberName[n - 1] == u'/' || context->memberName[n - 1] == u'\\')) {
    MakeParentFolders(context->memberName);
    return 0;
  }
  return 1;
}

// Runs the walk with the destination as the current folder, as the extract job does.
ResultCode Walk(const std::filesystem::path& archive, const std::filesystem::path& destination,
                uint32_t testFlag) {
  ListingContext l(archive);
  if (ResultCode r = l.Open(); r != kResultOk) return r;
  l.context.onMember = ProcessAll;
  char16_t previous[4096];
  EXPECT_TRUE(GetCurrentFolder(previous, 4096));
  std::u16string dest = Wide(destination);
  if (testFlag == 0) {
    EXPECT_TRUE(SetCurrentFolder(dest.c_str()));
  }
  ResultCode r = RunMembers(&l.context, static_cast<int64_t>(l.context.fileSize), testFlag);
  SetCurrentFolder(previous);
  return r;
}

Bytes QbxOf(const std::vector<QbxMemberFields>& members) {
  Bytes a;
  for (const QbxMemberFields& m : members) AppendQbxMember(a, m);
  return a;
}

TEST(QbxTest, VerdictsOnDamage) {
  Bytes good = QbxOf({{"a", BytesOf("hello")}, {"b", Pattern(300000)}});
  Bytes flipped = good;
  flipped[512 + 2] ^= 0x40;
  Bytes noChecksum = QbxOf({{"a", BytesOf("hello")}});
  noChecksum.resize(noChecksum.size() - 4);
  Bytes badHeader = good;
  badHeader[20] ^= 1;
  Bytes newer = QbxOf({{"a", BytesOf("hello")}, {"b", BytesOf("x"), 0, 0x20, 1}});
  Bytes partialHeader = good;
  partialHeader.resize(good.size() + 100, 'x');
  Bytes negativeSize = QbxOf({{"neg", {}}, {"after", BytesOf("ok")}});
  {
    // A header claiming -5 bytes has no data and no checksum behind it.
    EntryRecord e;
    std::memcpy(&e, negativeSize.data(), 512);
    e.packedSize = -5;
    e.checksum = QbxChecksum(reinterpret_cast<const uint8_t*>(&e), 508, 0);
    std::memcpy(negativeSize.data(), &e, 512);
  }
  const std::pair<const char*, std::pair<Bytes, ResultCode>> cases[] = {
      {"good", {good, kResultOk}},
      {"empty archive", {Bytes(), kResultOk}},
      {"changed data byte", {flipped, kResultChecksum}},
      {"last checksum missing", {noChecksum, kResultUnexpectedEnd}},
      {"header damaged", {badHeader, kResultChecksum}},
      {"newer version", {newer, kResultNewerVersion}},
      {"part of a header at the end", {partialHeader, kResultUnexpectedEnd}},
      {"negative size", {negativeSize, kResultOk}},
  };
  for (const auto& [what, c] : cases) {
    SCOPED_TRACE(what);
    ScratchDir dir;
    WriteBytes(dir.Path("a.qbx"), c.first);
    EXPECT_EQ(Walk(dir.Path("a.qbx"), dir.root, 1), c.second);
  }
}

TEST(TarTest, VerdictsOnDamage) {
  Bytes good;
  AppendTarMember(good, {"a", 5}, BytesOf("hello"));
  AppendTarMember(good, {"b", 300000}, Pattern(300000));
  AppendZeroBlocks(good, 2);
  Bytes cut = good;
  cut.resize(512 + 512 + 512 + 1000);
  Bytes badChecksum = good;
  badChecksum[1024 + 1] ^= 1;
  const std::pair<const char*, std::pair<Bytes, ResultCode>> cases[] = {
      {"good", {good, kResultOk}},
      {"data cut off", {cut, kResultUnexpectedEnd}},
      {"checksum error", {badChecksum, kResultChecksum}},
  };
  for (const auto& [what, c] : cases) {
    SCOPED_TRACE(what);
    ScratchDir dir;
    WriteBytes(dir.Path("a.tar"), c.first);
    EXPECT_EQ(Walk(dir.Path("a.tar"), dir.root, 1), c.second);
  }
}

TEST(Extract, TarMembersBecomeFilesWithTheirTimes) {
  ScratchDir dir;
  Bytes a;
  AppendTarMember(a, {"dir/", 0, 1500000000, 0755, '5'}, {});
  AppendTarMember(a, {"dir/empty", 0, 1500000001}, {});
  AppendTarMember(a, {"dir/sub/data.bin", 300000, 1500000002}, Pattern(300000));
  TarHeaderFields link{"link", 0, 1500000003};
  link.typeflag = '2';
  AppendTarMember(a, link, {});
  AppendZeroBlocks(a, 2);
  WriteBytes(dir.Path("a.tar"), a);
  std::filesystem::create_directories(dir.Path("out"));
  ASSERT_EQ(Walk(dir.Path("a.tar"), dir.Path("out"), 0), 0u);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("out/dir")));
  EXPECT_EQ(ReadBytes(dir.Path("out/dir/empty")).size(), 0u);
  EXPECT_EQ(FileTimeOf(dir.Path("out/dir/empty")), UnixToFileTime(1500000001));
  EXPECT_EQ(ReadBytes(dir.Path("out/dir/sub/data.bin")), Pattern(300000));
  EXPECT_EQ(FileTimeOf(dir.Path("out/dir/sub/data.bin")), UnixToFileTime(1500000002));
  // A link is written as a plain file of its (empty) data; no link is made.
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dir.Path("out/link"))));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path("out")))
    EXPECT_EQ(entry.path().filename().string().find("~qbx"), std::string::npos) << entry.path();
}

TEST(Extract, QbxAttributesAndTimes) {
  ScratchDir dir;
  Bytes a = QbxOf({{"ro", BytesOf("read only"), UnixToFileTime(1400000000), 0x23},
                   {"plain", BytesOf("plain"), UnixToFileTime(1400000001), 0}});
  WriteBytes(dir.Path("a.qbx"), a);
  std::filesystem::create_directories(dir.Path("out"));
  ASSERT_EQ(Walk(dir.Path("a.qbx"), dir.Path("out"), 0), 0u);
  uint32_t attributes = 0;
  std::u16string ro = Wide(dir.Path("out/ro"));
  ASSERT_TRUE(GetPathAttributes(ro.c_str(), &attributes));
  EXPECT_EQ(attributes & 0x01, 0x01u);
#ifdef _WIN32
  EXPECT_EQ(attributes & 0x02, 0x02u);  // hidden is a name rule elsewhere
#endif
  EXPECT_EQ(FileTimeOf(dir.Path("out/ro")), UnixToFileTime(1400000000));
  std::u16string plain = Wide(dir.Path("out/plain"));
  ASSERT_TRUE(GetPathAttributes(plain.c_str(), &attributes));
  EXPECT_EQ(attributes & 0x03, 0u);
  SetPathAttributes(ro.c_str(), 0x80);
}

TEST(Extract, NewerVersionStopsAfterTheMembersBeforeIt) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.qbx"), QbxOf({{"first", BytesOf("1")}, {"newer", BytesOf("2"), 0, 0x20, 1}}));
  std::filesystem::create_directories(dir.Path("out"));
  EXPECT_EQ(Walk(dir.Path("a.qbx"), dir.Path("out"), 0), 20u);
  EXPECT_EQ(ReadBytes(dir.Path("out/first")), BytesOf("1"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out/newer")));
}

// A member that fails never costs the file it was to replace; one that succeeds replaces it.
TEST(Extract, ExistingFilesAreReplacedOnlyBySoundMembers) {
  ScratchDir dir;
  Bytes good = QbxOf({{"target", BytesOf("new contents")}});
  Bytes damaged = good;
  damaged[515] ^= 1;  // data checksum fails after the data was written
  std::filesystem::create_directories(dir.Path("out"));
  WriteBytes(dir.Path("out/target"), BytesOf("the user's file"));
  WriteBytes(dir.Path("bad.qbx"), damaged);
  EXPECT_EQ(Walk(dir.Path("bad.qbx"), dir.Path("out"), 0), 21u);
  EXPECT_EQ(ReadBytes(dir.Path("out/target")), BytesOf("the user's file"));
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path("out"))) ++files, (void)entry;
  EXPECT_EQ(files, 1u);  // no temporary left behind
  WriteBytes(dir.Path("good.qbx"), good);
  EXPECT_EQ(Walk(dir.Path("good.qbx"), dir.Path("out"), 0), 0u);
  EXPECT_EQ(ReadBytes(dir.Path("out/target")), BytesOf("new contents"));
}

ArchiveContext* gCancelled = nullptr;
// Cancels once the walk has counted its first bytes: the member's file is begun by then.
void CancelOnFirstBytes(const ProgressBlock* block) {
  if (block->doneBytes > 0) gCancelled->jobState = kJobCancelling;
}

// A member that fails or is cancelled half-way leaves neither its file nor a temporary, and
// the file it was to replace stays as it was.
TEST(Extract, FailuresAndCancelKeepTheOldFile) {
  struct Case {
    const char* what;
    FaultOp op;
    uint32_t nth;
    ResultCode expected;
  };
  const Case cases[] = {{"write", kFaultWrite, 1, kResultWrite},
                        {"time", kFaultSetTime, 1, kResultWrite},
                        {"read", kFaultRead, 2, kResultRead},
                        {"cancel", kFaultOpCount, 0, kResultCancelled}};
  const Bytes data = Pattern(600000);  // more than one block: the cancel comes between two
  Bytes tar;
  AppendTarMember(tar, {"target", data.size()}, data);
  AppendZeroBlocks(tar, 2);
  const std::pair<const char*, Bytes> archives[] = {{"a.tar", tar}, {"a.qbx", QbxOf({{"target", data}})}};
  for (const auto& [name, bytes] : archives) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(name) + ": " + c.what);
      ScratchDir dir;
      WriteBytes(dir.Path(name), bytes);
      std::filesystem::create_directories(dir.Path("out"));
      WriteBytes(dir.Path("out/target"), BytesOf("old"));
      ListingContext l(dir.Path(name));
      ASSERT_EQ(l.Open(), kResultOk);
      l.context.onMember = ProcessAll;
      gCancelled = &l.context;
      if (c.op == kFaultOpCount) l.context.onProgress = CancelOnFirstBytes;
      char16_t previous[4096];
      ASSERT_TRUE(GetCurrentFolder(previous, 4096));
      std::u16string out = Wide(dir.Path("out"));
      ASSERT_TRUE(SetCurrentFolder(out.c_str()));
      if (c.op != kFaultOpCount) ArmFault(c.op, c.nth);
      EXPECT_EQ(RunMembers(&l.context, 0, 0), c.expected);
      DisarmFaults();
      SetCurrentFolder(previous);
      EXPECT_EQ(ReadBytes(dir.Path("out/target")), BytesOf("old"));
      size_t files = 0;
      for (const auto& entry : std::filesystem::directory_iterator(dir.Path("out"))) ++files, (void)entry;
      EXPECT_EQ(files, 1u);  // no temporary left behind
    }
  }
}

TEST(Extract, FolderPathThroughAFileStopsTheWalk) {
  ScratchDir dir;
  Bytes a;
  AppendTarMember(a, {"blocker/inside", 1}, BytesOf("1"));
  AppendTarMember(a, {"after", 1}, BytesOf("2"));
  AppendZeroBlocks(a, 2);
  WriteBytes(dir.Path("a.tar"), a);
  std::filesystem::create_directories(dir.Path("out"));
  WriteBytes(dir.Path("out/blocker"), BytesOf("a file"));
  EXPECT_EQ(Walk(dir.Path("a.tar"), dir.Path("out"), 0), 16u);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out/after")));
}

TEST(MakeParentFolders, PathClasses) {
  struct Case {
    std::u16string path;
    std::vector<std::u16string> folders;
  };
  const Case cases[] = {
      {u"a\\b\\c.txt", {u"a\\", u"a\\b\\"}},
      {u"a/b/", {u"a/", u"a/b/"}},
      {u"file.txt", {}},
      {u"", {}},
      {u"C:\\x\\y\\", {u"C:\\x\\", u"C:\\x\\y\\"}},
      {u"C:\\f.txt", {}},
      {u"\\top\\f", {u"\\top\\"}},
      {u"\\\\srv\\share\\d\\f", {u"\\\\srv\\share\\d\\"}},
      {u"\\\\srv\\share\\f", {}},
      {u"//srv/share/d/e/f", {u"//srv/share/d/", u"//srv/share/d/e/"}},
  };
  for (const Case& c : cases) {
    uint32_t lengths[kMaxFolderPrefixes];
    uint32_t n = FolderPrefixLengths(c.path.c_str(), lengths, kMaxFolderPrefixes);
    std::vector<std::u16string> got;
    for (uint32_t i = 0; i < n; ++i) got.push_back(c.path.substr(0, lengths[i]));
    EXPECT_EQ(got, c.folders) << "path of " << c.path.size() << " characters";
  }
}
}  // namespace
