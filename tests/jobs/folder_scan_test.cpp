// Folders the scan cannot enter stop an add, as files it cannot open do.
#include <gtest/gtest.h>

#include "cli/terminal_host.h"
#include "core/archive.h"
#include "jobs/jobs.h"
#include "support/test_files.h"

namespace {
void Ignore(void*, CliStream, const char*, size_t) {}
const CliIo kQuiet = {Ignore, nullptr};

void SetJobPath(CliJobs* jobs, const std::u16string& path) {
  std::fill(std::begin(jobs->state.JobPath), std::end(jobs->state.JobPath), 0);
  std::copy(path.begin(), path.end(), jobs->state.JobPath);
}

#ifndef _WIN32
// Windows itself cannot make such a folder without its long-path prefix.
TEST(FolderScan, AFolderWithoutRoomForANameStopsTheAdd) {
  for (size_t length : {size_t{258}, size_t{259}}) {
    SCOPED_TRACE(length);
    ScratchDir dir;
    std::u16string tree = Wide(dir.Path("tree"));
    ASSERT_LT(tree.size() + 2, length);
    // The scan's path of the folder: the tree, a separator and the folder's name.
    std::string name(length - tree.size() - 1, 'd');
    std::filesystem::create_directories(dir.Path("tree") / name);
    WriteBytes(dir.Path("tree") / "short.txt", BytesOf("1"));
    WriteBytes(dir.Path("tree") / name / "f", BytesOf("2"));
    CliJobs* jobs = NewCliJobs(kQuiet);
    SetJobPath(jobs, Wide(dir.Path("a.tar")));
    ASSERT_EQ(RunCliJob(jobs, kJobOpenAndList), kResultOk);
    SetJobPath(jobs, tree);
    EXPECT_EQ(RunCliJob(jobs, kJobAddFolder), kResultFolderOpen);
    EXPECT_EQ(jobs->state.Archive.memberCount, 0u);
    EXPECT_NE(jobs->host.statusText.find(std::u16string(name.begin(), name.end())), std::u16string::npos);
    CloseArchive(&jobs->state.Archive);
    DeleteCliJobs(jobs);
    EXPECT_TRUE(ReadBytes(dir.Path("a.tar")).empty());  // opened missing, nothing appended
  }
}
#endif
}  // namespace
