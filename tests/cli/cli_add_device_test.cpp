// Add takes files and folders only: a device named on the command line is refused with its
// own message, and a pipe inside a folder is passed over instead of waiting for a writer.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>

#include "core/result.h"
#include "support/cli_run.h"
#include "support/test_files.h"

namespace {
TEST(CliAdd, ADeviceIsRefused) {
  ScratchDir dir;
  CliRun run = RunQbx({u"add", Wide(dir.Path("a.tar")), u"/dev/zero"});
  EXPECT_EQ(run.status, int{kResultNotAFile});
  EXPECT_NE(run.err.find("device, pipe or socket"), std::string::npos) << run.err;
}

TEST(CliAdd, APipeInAFolderIsPassedOver) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.Path("tree"));
  WriteBytes(dir.Path("tree") / "file.txt", BytesOf("x"));
  ASSERT_EQ(mkfifo(dir.Path("tree/pipe").c_str(), 0600), 0);
  CliRun add = RunQbx({u"add", Wide(dir.Path("a.tar")), Wide(dir.Path("tree"))});
  EXPECT_EQ(add.status, int{kResultOk}) << add.err;
  CliRun list = RunQbx({u"list", Wide(dir.Path("a.tar"))});
  EXPECT_NE(list.out.find("file.txt"), std::string::npos);
  EXPECT_EQ(list.out.find("pipe"), std::string::npos);
}
}  // namespace
#endif
