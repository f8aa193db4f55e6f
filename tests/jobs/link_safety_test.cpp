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

// Links put in the destination before one member that would pass them is extracted.
struct ThroughLinkCase {
  const char* what;
  TarHeaderFields member;
  bool (*arrange)(TestLinks& links, const fs::path& out, const fs::path& outside);
  bool fileLink;  // Wine shows a host link to a file as the file, and a dangling one not at all
};

const ThroughLinkCase kThroughLinkCases[] = {
    {"ParentFolder", {"link/planted.txt", 7},
     [](TestLinks& links, const fs::path& out, const fs::path& outside) { return links.Make(outside, out / "link"); },
     false},
    {"DeeperFolder", {"a/inner/planted.txt", 7},
     [](TestLinks& links, const fs::path& out, const fs::path& outside) {
       fs::create_directories(out / "a");
       return links.Make(outside, out / "a" / "inner");
     },
     false},
    {"TargetFile", {"planted.txt", 7},
     [](TestLinks& links, const fs::path& out, const fs::path& outside) {
       WriteBytes(outside / "planted.txt", BytesOf("keep"));
       return links.Make(outside / "planted.txt", out / "planted.txt");
     },
     true},
    {"DanglingTarget", {"planted.txt", 7},
     [](TestLinks& links, const fs::path& out, const fs::path& outside) {
       // Made on the host even where the system cannot see it (Wine): nothing to wait for.
       links.Make(outside / "planted.txt", out / "planted.txt");
       return true;
     },
     true},
    {"FolderMember", {"link/new/", 0, 1600000000, 0755, '5'},
     [](TestLinks& links, const fs::path& out, const fs::path& outside) { return links.Make(outside, out / "link"); },
     false},
};

void PrintTo(const ThroughLinkCase& c, std::ostream* os) { *os << c.what; }

class ThroughLink : public testing::TestWithParam<ThroughLinkCase> {};

TEST_P(ThroughLink, MemberIsRefusedAndTheRestExtracted) {
  const ThroughLinkCase& c = GetParam();
  // Where links to files show as files (Wine), the member replaces the link itself: only
  // the refusal and its count are not seen; nothing may still reach the other folder.
  const bool refusalSeen = !c.fileLink || FileLinksShowAsLinks();
  ScratchDir dir;
  TestLinks links;
  const fs::path out = dir.Path("out"), outside = dir.Path("outside");
  fs::create_directories(out);
  fs::create_directories(outside);
  ASSERT_TRUE(c.arrange(links, out, outside));
  const auto before = Snapshot(outside);
  Bytes tar;
  AppendTarMember(tar, c.member, c.member.typeflag == '5' ? Bytes{} : BytesOf("planted"));
  AppendTarMember(tar, {"safe.txt", 4}, BytesOf("safe"));
  AppendZeroBlocks(tar, 2);
  WriteBytes(dir.Path("a.tar"), tar);
  JobSession s;
  s.script.answers = {kAnswerDoAll};  // an overwrite question must not be what keeps it out
  ASSERT_EQ(s.Open(dir.Path("a.tar")), kResultOk);
  EXPECT_EQ(s.Extract(out), refusalSeen ? kResultLinkInPath : kResultOk);
  EXPECT_EQ(s.state().LeftOutCount, refusalSeen ? 1u : 0u);
  EXPECT_EQ(Snapshot(outside), before);
  EXPECT_EQ(ReadBytes(out / "safe.txt"), BytesOf("safe"));
}

INSTANTIATE_TEST_SUITE_P(Links, ThroughLink, testing::ValuesIn(kThroughLinkCases), CaseName());

// Links in a folder that is added: each is left out and counted, none is followed.
struct ScanLinkCase {
  const char* what;
  bool (*arrange)(TestLinks& links, const fs::path& tree, const fs::path& outside);
  uint32_t leftOut;
  bool fileLink;
};

const ScanLinkCase kScanLinkCases[] = {
    {"LoopsToItselfAndItsParent",
     [](TestLinks& links, const fs::path& tree, const fs::path&) {
       return links.Make(tree, tree / "self") && links.Make(tree.parent_path(), tree / "up");
     },
     2, false},
    {"FolderOutside",
     [](TestLinks& links, const fs::path& tree, const fs::path& outside) {
       return links.Make(outside, tree / "elsewhere");
     },
     1, false},
    {"FileOutside",
     [](TestLinks& links, const fs::path& tree, const fs::path& outside) {
       return links.Make(outside / "secret.txt", tree / "secret.txt");
     },
     1, true},
};

void PrintTo(const ScanLinkCase& c, std::ostream* os) { *os << c.what; }

class ScanLink : public testing::TestWithParam<ScanLinkCase> {};

TEST_P(ScanLink, IsCountedNotFollowed) {
  const ScanLinkCase& c = GetParam();
  ScratchDir dir;
  TestLinks links;
  const fs::path tree = dir.Path("tree"), outside = dir.Path("outside");
  fs::create_directories(tree);
  fs::create_directories(outside);
  WriteBytes(tree / "file.txt", BytesOf("f"));
  WriteBytes(outside / "secret.txt", BytesOf("s"));
  ASSERT_TRUE(c.arrange(links, tree, outside));
  JobSession s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), kResultOk);
  s.SetJobPath(tree);
  EXPECT_EQ(s.Run(kJobAddFolder), kResultOk);
  EXPECT_EQ(s.Names(), std::vector<std::u16string>{u"file.txt"});
  EXPECT_EQ(s.state().LeftOutCount, c.leftOut);
  EXPECT_EQ(s.jobs->host.outcome, uint32_t{kOutcomeItemsSkipped});
}

// A link to a file that the system shows as the file (Wine) is a file to the scan too.
std::vector<ScanLinkCase> VisibleScanLinkCases() {
  std::vector<ScanLinkCase> cases;
  for (const ScanLinkCase& c : kScanLinkCases)
    if (!c.fileLink || FileLinksShowAsLinks()) cases.push_back(c);
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Links, ScanLink, testing::ValuesIn(VisibleScanLinkCases()), CaseName());

// A cancel ends the scan at the next entry, even among folders that hold no file.
TEST(FolderScanCancel, EndsAmongEmptyFolders) {
  ScratchDir dir;
  for (int i = 0; i < 50; ++i) fs::create_directories(dir.Path("tree") / std::to_string(i) / "inner");
  JobSession s;
  ASSERT_EQ(s.Open(dir.Path("a.tar")), kResultOk);
  s.SetJobPath(dir.Path("tree"));
  FolderScan scan;
  BeginFolderScan(&scan, &s.state(), CountVisitor);
  s.state().Archive.jobState.store(kJobCancelling);
  ScanFolder(&scan);
  EXPECT_EQ(scan.Stop, 1u);
  EXPECT_EQ(s.state().Archive.result, kResultCancelled);
}
}  // namespace
