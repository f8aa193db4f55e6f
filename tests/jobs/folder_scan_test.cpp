// A folder add takes paths of any length whole; what it cannot open (a file another
// program holds) stops it: nothing is appended, and the status names the path.
#include <gtest/gtest.h>

#include "jobs/folder_scan.h"
#include "jobs/job_session.h"

namespace {
// Paths past the old 260-character limit, on Windows through the long-path form.
TEST(FolderScan, LongPathsAreAddedWhole) {
  const std::pair<size_t, size_t> cases[] = {{258, 1}, {259, 1}, {200, 120}, {420, 200}};
  for (const auto& [folderPath, fileName] : cases) {
    SCOPED_TRACE(folderPath);
    ScratchDir dir;
    std::u16string tree = Wide(dir.Path("tree"));
    // Folders of at most 100 characters, to reach folderPath for the inner one.
    std::filesystem::path inner = dir.Path("tree");
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
    JobSession s;
    ASSERT_EQ(s.Open(dir.Path("a.tar")), kResultOk);
    s.SetJobPath(dir.Path("tree"));
    ASSERT_EQ(s.Run(kJobAddFolder), kResultOk);
    EXPECT_EQ(s.Names(), std::vector<std::u16string>{Wide(relative + std::string(fileName, 'f'))});
  }
}

#ifndef _WIN32
// Folders nested deeper than the scan goes stop the add with the path, never silently.
TEST(FolderScan, FoldersTooDeepStopTheAdd) {
  ScratchDir dir;
  std::filesystem::path deep = dir.Path("tree");
  for (int32_t level = 0; level <= kScanDepth + 1; ++level) deep /= "d";
  std::filesystem::create_directories(deep);
  WriteBytes(deep / "f.txt", BytesOf("f"));
  JobSession s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), kResultOk);
  s.SetJobPath(dir.Path("tree"));
  EXPECT_EQ(s.Run(kJobAddFolder), kResultFolderOpen);
  EXPECT_EQ(s.state().Archive.memberCount, 0u);
  EXPECT_NE(s.jobs->host.statusText.find(u"d\\d\\d"), std::u16string::npos);  // the scan joins with backslashes
}
#endif

TEST(FolderScan, WhatCannotBeAddedStopsTheAdd) {
  struct Case {
    size_t folderPath;  // length of the scan's path of the inner folder
    size_t fileName;
    bool held;          // the file held exclusively, as another program would hold it
  };
  const Case cases[] = {
      {100, 8, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folderPath);
    ScratchDir dir;
    std::u16string tree = Wide(dir.Path("tree"));
    ASSERT_LT(tree.size() + 2, c.folderPath);
    // The scan's path of the folder: the tree, a separator and the folder's name.
    std::string name(c.folderPath - tree.size() - 1, 'd');
    std::filesystem::create_directories(dir.Path("tree") / name);
    WriteBytes(dir.Path("tree") / "short.txt", BytesOf("1"));
    const std::filesystem::path file = dir.Path("tree") / name / std::string(c.fileName, 'f');
    WriteBytes(file, BytesOf("2"));
    const std::u16string wideFile = Wide(file);
    FileHandle holder = c.held ? FileOpen(wideFile.c_str(), kAccessReadWrite, kShareNone, kOpenExisting) : kInvalidFile;
    ASSERT_EQ(holder != kInvalidFile, c.held);
    {
      JobSession s;
      ASSERT_EQ(s.Open(dir.Path("a.tar")), kResultOk);
      s.SetJobPath(dir.Path("tree"));
      EXPECT_EQ(s.Run(kJobAddFolder), kResultFolderOpen);
      EXPECT_EQ(s.jobs->host.outcome, kOutcomeInsertionFailed);
      EXPECT_EQ(s.state().Archive.memberCount, 0u);
      EXPECT_NE(s.jobs->host.statusText.find(std::u16string(name.begin(), name.end())), std::u16string::npos);
    }
    if (c.held) FileClose(holder);
    EXPECT_TRUE(ReadBytes(dir.Path("a.tar")).empty());  // opened missing, nothing appended
  }
}
}  // namespace
