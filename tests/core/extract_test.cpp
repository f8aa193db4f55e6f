// Extracting TAR and QBX archives: files, folders, times, attributes and the safe replace.
#include <gtest/gtest.h>

#include <map>

#include "core/archive.h"
#include "core/filetime.h"
#include "core/folders.h"
#include "core/progress.h"
#include "support/archive_builder.h"
#include "support/archive_walk.h"
#include "support/fault_sweep.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace fs = std::filesystem;

namespace {
// Every plain file below out (links are not plain files) with its bytes and time: a
// temporary left behind or a file that should not be there shows up here.
using Files = std::map<std::string, std::pair<Bytes, uint64_t>>;
Files FilesBelow(const fs::path& out) {
  Files files;
  for (const auto& entry : fs::recursive_directory_iterator(out))
    if (fs::is_regular_file(fs::symlink_status(entry.path())))
      files[entry.path().lexically_relative(out).generic_string()] = {ReadBytes(entry.path()),
                                                                       FileTimeOf(entry.path())};
  return files;
}

// Cancels once the walk has counted its first bytes: the member's file is begun by then.
const WalkOptions kCancelled{0, nullptr, {}, [](ArchiveContext* c) {
  static ArchiveContext* cancelled;
  cancelled = c;
  c->onProgress = [](const ProgressBlock* block) {
    if (block->doneBytes > 0) cancelled->jobState = kJobCancelling;
  };
}};

TEST(Extract, FilesFoldersTimesAndWhereTheWalkStops) {
  const Bytes tar = TarBytes({{{"dir/", 0, 1500000000, 0755, '5'}, {}},
                              {{"dir/empty", 0, 1500000001}, {}},
                              {{"dir/sub/data.bin", 300000, 1500000002}, Pattern(300000)},
                              {{"link", 0, 1500000003, 0644, '2'}, {}}});
  const Bytes blocked = TarBytes(
      {{{"blocker", 1, 1500000004}, BytesOf("f")}, {{"blocker/inside", 1}, BytesOf("1")}, {{"after", 1}, BytesOf("2")}});
  struct Case { const char* what; const char* file; Bytes archive; ResultCode expected; Files files; };
  const Case cases[] = {
      // A link is written as a plain file of its (empty) data; no link is made.
      {"TAR files, folders and a link", "a.tar", tar, kResultOk,
       {{"dir/empty", {{}, UnixToFileTime(1500000001)}},
        {"dir/sub/data.bin", {Pattern(300000), UnixToFileTime(1500000002)}},
        {"link", {{}, UnixToFileTime(1500000003)}}}},
      {"folder path through a file", "a.tar", blocked, kResultSave,
       {{"blocker", {BytesOf("f"), UnixToFileTime(1500000004)}}}},
      {"QBX newer version stops after the members before it", "a.qbx",
       QbxBytes({{"first", BytesOf("1"), UnixToFileTime(1400000000)}, {"newer", BytesOf("2"), 0, 0x20, 1}}),
       kResultNewerVersion, {{"first", {BytesOf("1"), UnixToFileTime(1400000000)}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    WriteBytes(dir.Path(c.file), c.archive);
    EXPECT_EQ(WalkArchive(dir.Path(c.file), dir.Path("out"), kExtract), c.expected);
    EXPECT_EQ(FilesBelow(dir.Path("out")), c.files);
  }
}

TEST(Extract, QbxAttributes) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.qbx"), QbxBytes({{"ro", BytesOf("read only"), 0, 0x23}, {"plain", BytesOf("plain"), 0, 0}}));
  ASSERT_EQ(WalkArchive(dir.Path("a.qbx"), dir.Path("out"), kExtract), kResultOk);
  uint32_t attributes = 0;
  std::u16string ro = Wide(dir.Path("out/ro"));
  ASSERT_TRUE(GetPathAttributes(ro.c_str(), &attributes));
  EXPECT_EQ(attributes & 0x01, 0x01u);
#ifdef _WIN32
  EXPECT_EQ(attributes & 0x02, 0x02u);  // hidden is a name rule elsewhere
#endif
  std::u16string plain = Wide(dir.Path("out/plain"));
  ASSERT_TRUE(GetPathAttributes(plain.c_str(), &attributes));
  EXPECT_EQ(attributes & 0x03, 0u);
  SetPathAttributes(ro.c_str(), 0x80);
}

// Every read, write and time setting fails once in turn, a cancel comes half-way and a data
// checksum fails after the data were written: each time the member leaves neither its file
// nor a temporary, and the file it was to replace stays as it was (or, when a read after the
// member fails, is wholly replaced). A sound member in front is extracted, none behind.
TEST(Extract, OnlySoundMembersReplaceFiles) {
  const Bytes data = Pattern(600000);  // more than one block: the cancel comes between two
  const std::pair<const char*, Bytes> archives[] = {{"a.tar", TarBytes({{{"target", data.size()}, data}})},
                                                    {"a.qbx", QbxBytes({{"target", data}})},
                                                    {"a.zip", ZipArchive({DeflatedEntry("target", data)})},
                                                    {"a.gz", GzMember({.content = data, .name = "target"})}};
  // Damaged data between two sound members; the ZIP's time is its DOS fields'.
  const Bytes good = BytesOf("sound");
  const uint64_t goodTime = UnixToFileTime(1614834308);
  Bytes damagedQbx = QbxBytes({{"good", good, goodTime}, {"target", BytesOf("new contents")}, {"never", good}});
  damagedQbx[521 + 515] ^= 1;
  ZipEntryFields damagedZip = DeflatedEntry("target", data);
  damagedZip.data[3000] ^= 0x10;
  const std::pair<const char*, Bytes> damaged[] = {
      {"damaged.qbx", damagedQbx}, {"damaged.zip", ZipArchive({StoredEntry("good", good), damagedZip, StoredEntry("never", good)})}};
  ScratchDir dir;
  const fs::path out = dir.Path("out");
  fs::create_directories(out);
  const Files old = {{"target", {BytesOf("old"), UnixToFileTime(1000000000)}}};
  auto putOld = [&] {
    WriteBytes(out / "target", old.at("target").first);
    SetFileTime(out / "target", old.at("target").second);
  };
  putOld();
  Files goodAndOld = old;
  goodAndOld["good"] = {good, goodTime};
  for (const auto& [name, bytes] : damaged) {
    WriteBytes(dir.Path(name), bytes);
    EXPECT_EQ(WalkArchive(dir.Path(name), out, kExtract), kResultChecksum) << name;
    EXPECT_EQ(FilesBelow(out), goodAndOld) << name;
    fs::remove(out / "good");
  }
  for (const auto& [name, bytes] : archives) {
    SCOPED_TRACE(name);
    WriteBytes(dir.Path(name), bytes);
    const uint32_t failures = FailEachCallOnce(
        {{kFaultWrite, kResultWrite}, {kFaultSetTime, kResultWrite}, {kFaultRead, kResultRead}}, putOld,
        [&] { return WalkArchive(dir.Path(name), out, kExtract); },
        [&](const FaultShot& shot, ResultCode r) {
          EXPECT_EQ(r, shot.expected);
          const Files now = FilesBelow(out);
          if (now != old) {  // only a read after the member is whole may come after the replace
            EXPECT_EQ(shot.op, kFaultRead);
            EXPECT_EQ(now.size(), 1u);
            EXPECT_EQ(now.at("target").first, data);
          }
        });
    EXPECT_GE(failures, 3u);  // each kind of call was met
    EXPECT_EQ(ReadBytes(out / "target"), data);  // a turn ends with every call met: the member replaced the file
    putOld();
    EXPECT_EQ(WalkArchive(dir.Path(name), out, kCancelled), kResultCancelled);
    EXPECT_EQ(FilesBelow(out), old);
  }
}

TEST(MakeParentFolders, PathClasses) {
  struct Case { std::u16string path; std::vector<std::u16string> folders; };
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
