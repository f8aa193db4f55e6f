// A folder add takes paths of any length whole and passes over pipes; what it cannot open
// (a file another program holds) stops it: nothing is appended, and the status names the path.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "jobs/folder_scan.h"
#include "jobs/job_session.h"

namespace {
// Paths past the old 260-character limit, on Windows through the long-path form.
TEST(FolderScan, LongPathsAreAddedWhole) {
  const std::pair<size_t, size_t> cases[] = {{258, 1}, {259, 1}, {200, 120}, {420, 200}};
  for (const auto& [folderPath, fileName] : cases) {
    SCOPED_TRACE(folderPath);
    JobSession s;
    std::u16string tree = Wide(s.dir.Path("tree"));
    // Folders of at most 100 characters, to reach folderPath for the inner one.
    std::filesystem::path inner = s.dir.Path("tree");
    std::string relative;
    for (size_t left = folderPath - tree.size() - 1; left > 0;) {
      size_t part = left > 101 ? 100 : left;
      std::string folder(part, 'd');
      inner /= folder;
      relative += folder + "/";
      left -= part + (left > part ? 1 : 0);
    }
    std::filesystem::create_directories(inner);
    WriteBytes(inner / std::string(fileName, 'f'), BytesOf("2"));
    ASSERT_EQ(s.OpenNew(), kResultOk);
    s.SetJobPath(s.dir.Path("tree"));
    ASSERT_EQ(s.Run(kJobAddFolder), kResultOk);
    EXPECT_EQ(s.Names(), std::vector<std::u16string>{Wide(relative + std::string(fileName, 'f'))});
  }
}

#ifndef _WIN32
// Folders nested deeper than the scan goes stop the add with the path, never silently.
TEST(FolderScan, FoldersTooDeepStopTheAdd) {
  JobSession s;
  std::filesystem::path deep = s.dir.Path("tree");
  for (int32_t level = 0; level <= kScanDepth + 1; ++level) deep /= "d";
  std::filesystem::create_directories(deep);
  WriteBytes(deep / "f.txt", BytesOf("f"));
  ASSERT_EQ(s.OpenNew(), kResultOk);
  s.SetJobPath(s.dir.Path("tree"));
  EXPECT_EQ(s.Run(kJobAddFolder), kResultFolderOpen);
  EXPECT_EQ(s.state().Archive.memberCount, 0u);
  EXPECT_NE(s.jobs->host.statusText.find(u"d\\d\\d"), std::u16string::npos);  // the scan joins with backslashes
}

// A pipe in the folder is passed over and counted, instead of waiting for a writer.
TEST(FolderScan, APipeIsPassedOver) {
  JobSession s;
  std::filesystem::create_directories(s.dir.Path("tree"));
  WriteBytes(s.dir.Path("tree/file.txt"), BytesOf("x"));
  ASSERT_EQ(mkfifo(s.dir.Path("tree/pipe").c_str(), 0600), 0);
  ASSERT_EQ(s.OpenNew(), kResultOk);
  s.SetJobPath(s.dir.Path("tree"));
  EXPECT_EQ(s.Run(kJobAddFolder), kResultOk);
  EXPECT_EQ(s.Names(), std::vector<std::u16string>{u"file.txt"});
  EXPECT_EQ(s.state().LeftOutCount, 1u);
}
#endif

// A file another program holds exclusively stops the add: nothing appended, its path named.
TEST(FolderScan, AHeldFileStopsTheAdd) {
  ScratchDir dir;
  const std::string folder(60, 'd');
  std::filesystem::create_directories(dir.Path("tree") / folder);
  WriteBytes(dir.Path("tree/short.txt"), BytesOf("1"));
  const std::filesystem::path file = dir.Path("tree") / folder / "ffffffff";
  WriteBytes(file, BytesOf("2"));
  const std::u16string wideFile = Wide(file);
  FileHandle holder = FileOpen(wideFile.c_str(), kAccessReadWrite, kShareNone, kOpenExisting);
  ASSERT_NE(holder, kInvalidFile);
  {
    JobSession s;
    ASSERT_EQ(s.Open(dir.Path("a.tar")), kResultOk);
    s.SetJobPath(dir.Path("tree"));
    EXPECT_EQ(s.Run(kJobAddFolder), kResultFolderOpen);
    EXPECT_EQ(s.jobs->host.outcome, kOutcomeInsertionFailed);
    EXPECT_EQ(s.state().Archive.memberCount, 0u);
    EXPECT_NE(s.jobs->host.statusText.find(Wide(folder)), std::u16string::npos);
  }
  FileClose(holder);
  EXPECT_TRUE(ReadBytes(dir.Path("a.tar")).empty());  // opened missing, nothing appended
}
}  // namespace
