// Extraction never writes through a link it finds on the disk, and a folder add never
// follows one: what either leaves out is counted, and the rest of the job goes on.
#include <gtest/gtest.h>

#include <map>

#include "jobs/folder_scan.h"
#include "jobs/job_host.h"
#include "jobs/job_session.h"
#include "support/case_name.h"
#include "support/make_link.h"

namespace {
namespace fs = std::filesystem;

// Every file below root with its bytes, and every folder with nothing: what a job may not touch.
std::map<std::string, Bytes> Snapshot(const fs::path& root) {
  std::map<std::string, Bytes> tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string name = fs::relative(e.path(), root).generic_string();
    tree[name] = e.is_regular_file() ? ReadBytes(e.path()) : Bytes{};
  }
  return tree;
}

// A link put at out/link before one member that would pass it is extracted; it points at
// the folder "outside", or at outside/planted.txt, there or not.
enum class Target { kFolder, kFile, kDangling };
struct ThroughLinkCase { const char* what; TarHeaderFields member; const char* link; Target target; };
const ThroughLinkCase kThroughLinkCases[] = {
    {"parent folder", {"link/planted.txt", 7}, "link", Target::kFolder},
    {"deeper folder", {"a/inner/planted.txt", 7}, "a/inner", Target::kFolder},
    {"target file", {"planted.txt", 7}, "planted.txt", Target::kFile},
    {"dangling target", {"planted.txt", 7}, "planted.txt", Target::kDangling},
    {"folder member", {"link/new/", 0, 1600000000, 0755, '5'}, "link", Target::kFolder},
};
class ThroughLink : public testing::TestWithParam<ThroughLinkCase> {};

TEST_P(ThroughLink, MemberIsRefusedAndTheRestExtracted) {
  const ThroughLinkCase& c = GetParam();
  // Wine shows a host link to a file as the file (and a dangling one not at all): there the
  // member replaces the link itself, and only the refusal and its count are not seen.
  const bool refusalSeen = c.target == Target::kFolder || FileLinksShowAsLinks();
  JobSession s;
  TestLinks links;
  const fs::path out = s.dir.Path("out"), outside = s.dir.Path("outside");
  fs::create_directories((out / c.link).parent_path());
  fs::create_directories(outside);
  if (c.target == Target::kFile) WriteBytes(outside / "planted.txt", BytesOf("keep"));
  const bool made = links.Make(c.target == Target::kFolder ? outside : outside / "planted.txt", out / c.link);
  ASSERT_TRUE(made || c.target == Target::kDangling);  // made on the host even where unseen
  const auto before = Snapshot(outside);
  // A folder checked for the member before must not spare the next one its own check.
  const Bytes tar = TarBytes({{{"a/first.txt", 5}, BytesOf("first")},
                              {c.member, c.member.typeflag == '5' ? Bytes{} : BytesOf("planted")},
                              {{"safe.txt", 4}, BytesOf("safe")}});
  s.script.answers = {kAnswerDoAll};  // an overwrite question must not be what keeps it out
  ASSERT_EQ(s.OpenBytes(tar), kResultOk);
  EXPECT_EQ(s.Extract(out), refusalSeen ? kResultLinkInPath : kResultOk);
  EXPECT_EQ(s.state().LeftOutCount, refusalSeen ? 1u : 0u);
  EXPECT_EQ(Snapshot(outside), before);
  EXPECT_EQ(ReadBytes(out / "safe.txt"), BytesOf("safe"));
}
INSTANTIATE_TEST_SUITE_P(Links, ThroughLink, testing::ValuesIn(kThroughLinkCases), CaseName());

// Links in a folder that is added, each (target, link) below the scratch folder ("" is the
// folder itself): each is left out and counted, none is followed.
struct ScanLinkCase { const char* what; std::vector<std::pair<const char*, const char*>> links; bool fileLink; };
const ScanLinkCase kScanLinkCases[] = {
    {"loops to itself and its parent", {{"tree", "tree/self"}, {"", "tree/up"}}, false},
    {"folder outside", {{"outside", "tree/elsewhere"}}, false},
    {"file outside", {{"outside/secret.txt", "tree/secret.txt"}}, true},
};
class ScanLink : public testing::TestWithParam<ScanLinkCase> {};

TEST_P(ScanLink, IsCountedNotFollowed) {
  const ScanLinkCase& c = GetParam();
  // Wine shows a link to a file as the file, which the scan then takes as a file.
  if (c.fileLink && !FileLinksShowAsLinks()) GTEST_SKIP() << "links to files show as files here";
  JobSession s;
  TestLinks links;
  fs::create_directories(s.dir.Path("tree"));
  fs::create_directories(s.dir.Path("outside"));
  WriteBytes(s.dir.Path("tree/file.txt"), BytesOf("f"));
  WriteBytes(s.dir.Path("outside/secret.txt"), BytesOf("s"));
  for (const auto& [target, link] : c.links)
    ASSERT_TRUE(links.Make(*target == 0 ? s.dir.root : s.dir.Path(target), s.dir.Path(link)));
  ASSERT_EQ(s.OpenNew(), kResultOk);
  s.SetJobPath(s.dir.Path("tree"));
  EXPECT_EQ(s.Run(kJobAddFolder), kResultOk);
  EXPECT_EQ(s.Names(), std::vector<std::u16string>{u"file.txt"});
  EXPECT_EQ(s.state().LeftOutCount, c.links.size());
  EXPECT_EQ(s.jobs->host.outcome, uint32_t{kOutcomeItemsSkipped});
}
INSTANTIATE_TEST_SUITE_P(Links, ScanLink, testing::ValuesIn(kScanLinkCases), CaseName());

// A cancel ends the scan at the next entry, even among folders that hold no file.
TEST(FolderScanCancel, EndsAmongEmptyFolders) {
  JobSession s;
  for (int i = 0; i < 50; ++i) fs::create_directories(s.dir.Path("tree") / std::to_string(i) / "inner");
  ASSERT_EQ(s.OpenNew(), kResultOk);
  s.SetJobPath(s.dir.Path("tree"));
  FolderScan scan;
  BeginFolderScan(&scan, &s.state(), CountVisitor);
  s.state().Archive.jobState.store(kJobCancelling);
  ScanFolder(&scan);
  EXPECT_EQ(scan.Stop, 1u);
  EXPECT_EQ(s.state().Archive.result, kResultCancelled);
}
}  // namespace
