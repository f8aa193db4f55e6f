// What a folder add cannot take stops it: a folder or file path without room, or a file
// another program holds. Nothing is appended, and the status names the path.
#include <gtest/gtest.h>

#include "jobs/job_session.h"

namespace {
TEST(FolderScan, WhatCannotBeAddedStopsTheAdd) {
  struct Case {
    size_t folderPath;  // length of the scan's path of the inner folder
    size_t fileName;
    bool held;          // the file held exclusively, as another program would hold it
  };
  const Case cases[] = {
#ifndef _WIN32
      // Windows itself cannot make such paths without its long-path prefix.
      {258, 1, false},    // no room for a separator and a name
      {259, 1, false},
      {200, 120, false},  // the folder fits, its file does not
#endif
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
