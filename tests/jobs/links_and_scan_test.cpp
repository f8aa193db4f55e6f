// Links and folder adds: extraction never writes through a link it finds on the disk, TAR
// link members stay inside the destination, a folder add never follows a link and takes
// paths of any length; what is left out is counted, and the rest of the job goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "jobs/folder_scan.h"
#include "jobs/job_host.h"
#include "jobs/job_session.h"
#include "platform/platform.h"
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
  // Wine shows a link to a file as the file, which the scan then takes as a file: nothing
  // is left out there, and the file's bytes are added, not followed anywhere else.
  const bool linkSeen = !c.fileLink || FileLinksShowAsLinks();
  JobSession s;
  TestLinks links;
  fs::create_directories(s.dir.Path("tree"));
  fs::create_directories(s.dir.Path("outside"));
  WriteBytes(s.dir.Path("tree/file.txt"), BytesOf("f"));
  WriteBytes(s.dir.Path("outside/secret.txt"), BytesOf("s"));
  for (const auto& [target, link] : c.links)
    ASSERT_TRUE(links.Make(*target == 0 ? s.dir.root : s.dir.Path(target), s.dir.Path(link)));
  EXPECT_EQ(s.AddTree(), kResultOk);
  std::vector<std::u16string> names = s.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (linkSeen ? std::vector<std::u16string>{u"file.txt"} : std::vector<std::u16string>{u"file.txt", u"secret.txt"}));
  EXPECT_EQ(s.state().LeftOutCount, linkSeen ? c.links.size() : 0u);
  EXPECT_EQ(s.jobs->host.outcome, uint32_t{linkSeen ? kOutcomeItemsSkipped : kOutcomeCloseDialog});
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

// TAR link members on extraction: a symbolic link is made only where it points inside the
// destination, a hard link becomes a copy of the member it names; what is left out is
// counted and the job says so. type: '1' hard link, '2' symbolic link; the target as stored;
// found at out/name: "link:TARGET", "file:BYTES" or "none"; makesLink: needs a system that
// makes symbolic links (Wine does not).
enum class Record { kField, kGnuLongLink, kPaxLinkpath };
struct LinkCase {
  const char* what; char type; const char* name; std::string target; Record record; ResultCode result;
  std::string found; bool makesLink;
};

const std::string kLongTarget = std::string(120, 't') + "/f.txt";

const LinkCase kLinkCases[] = {
    {"relative link inside", '2', "sub/rel", "f.txt", Record::kField, kResultOk, "link:f.txt", true},
    {"link to its folder's parent", '2', "sub/up", "../top.txt", Record::kField, kResultOk, "link:../top.txt", true},
    {"long target from a GNU record", '2', "long", kLongTarget, Record::kGnuLongLink, kResultOk, "link:" + kLongTarget,
     true},
    {"long target from pax", '2', "long", kLongTarget, Record::kPaxLinkpath, kResultOk, "link:" + kLongTarget, true},
    {"absolute target", '2', "abs", "/etc/passwd", Record::kField, kResultLinkInPath, "none", false},
    {"climbing out", '2', "sub/esc", "../../x", Record::kField, kResultLinkInPath, "none", false},
    {"climbing after a name", '2', "sub/tricky", "f.txt/../..", Record::kField, kResultLinkInPath, "none", false},
    {"drive letter", '2', "drive", "C:x", Record::kField, kResultLinkInPath, "none", false},
    {"hard link", '1', "copy.txt", "sub/f.txt", Record::kField, kResultOk, "file:data", false},
    {"hard link to nothing", '1', "copy.txt", "sub/none.txt", Record::kField, kResultLinkInPath, "none", false},
};

// The link member's header, behind the record that holds a long target.
Bytes LinkMember(const LinkCase& c) {
  Bytes header = TarHeader({c.name, 0, 1600000000, 0777, c.type});
  std::memcpy(header.data() + 157, c.target.data(), std::min<size_t>(c.target.size(), 100));
  RefreshTarChecksum(header.data());
  if (c.record == Record::kGnuLongLink) return Joined({GnuLongName(c.target, 'K'), header});
  if (c.record == Record::kPaxLinkpath) return Joined({PaxHeader(PaxRecord("linkpath", c.target)), header});
  return header;
}

std::string Found(const fs::path& path) {
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error))) return "link:" + fs::read_symlink(path).generic_string();
  if (!fs::exists(path)) return "none";
  Bytes bytes = ReadBytes(path);
  return "file:" + std::string(bytes.begin(), bytes.end());
}

// Whether the program can make a symbolic link here (Wine and Windows without the right
// cannot): where it cannot, a link member is left out and counted instead.
bool SystemMakesLinks(const fs::path& folder) {
  const std::u16string probe = Wide(folder / "probe");
  return CreateLink(probe.c_str(), u"target", false);
}

class TarLink : public testing::TestWithParam<LinkCase> {};

TEST_P(TarLink, ExtractsOrLeavesOut) {
  const LinkCase& c = GetParam();
  JobSession s;
  const bool made = !c.makesLink || SystemMakesLinks(s.dir.root);
  const ResultCode result = made ? c.result : kResultLinkInPath;
  ASSERT_EQ(s.OpenBytes(Joined({TarMember({"sub/f.txt", 4}, BytesOf("data")), LinkMember(c), Bytes(1024, 0)})), kResultOk);
  EXPECT_EQ(s.Extract(s.dir.Path("out")), result);
  EXPECT_EQ(s.state().LeftOutCount, result == kResultOk ? 0u : 1u);
  EXPECT_EQ(Found(s.dir.Path("out") / c.name), made ? c.found : "none");
  EXPECT_EQ(ReadBytes(s.dir.Path("out/sub/f.txt")), BytesOf("data"));
}

INSTANTIATE_TEST_SUITE_P(Members, TarLink, testing::ValuesIn(kLinkCases), CaseName());

#ifndef _WIN32
// A link the archive made is never written through by a later member.
TEST(TarLinkThenMember, IsNotFollowed) {
  JobSession s;
  fs::create_directories(s.dir.Path("out/inside"));
  const Bytes link = LinkMember({"", '2', "via", "inside", Record::kField, kResultOk, "", true});
  ASSERT_EQ(s.OpenBytes(Joined({link, TarMember({"via/planted.txt", 1}, BytesOf("p")), Bytes(1024, 0)})), kResultOk);
  EXPECT_EQ(s.Extract(s.dir.Path("out")), kResultLinkInPath);
  EXPECT_FALSE(fs::exists(s.dir.Path("out/inside/planted.txt")));
}
#endif

// A folder add takes paths of any length whole: past the old 260-character limit, on
// Windows through the long-path form.
TEST(FolderScan, LongPathsAreAddedWhole) {
  const std::pair<size_t, size_t> cases[] = {{258, 1}, {259, 1}, {200, 120}, {420, 200}};
  for (const auto& [folderPath, fileName] : cases) {
    SCOPED_TRACE(folderPath);
    JobSession s;
    // Folders of at most 100 characters, to reach folderPath for the inner one.
    fs::path inner = s.dir.Path("tree");
    std::string relative;
    for (size_t left = folderPath - Wide(inner).size() - 1; left > 0;) {
      const size_t part = left > 101 ? 100 : left;
      inner /= std::string(part, 'd');
      relative += std::string(part, 'd') + "/";
      left -= part + (left > part ? 1 : 0);
    }
    fs::create_directories(inner);
    WriteBytes(inner / std::string(fileName, 'f'), BytesOf("2"));
    ASSERT_EQ(s.AddTree(), kResultOk);
    EXPECT_EQ(s.Names(), std::vector<std::u16string>{Wide(relative + std::string(fileName, 'f'))});
  }
}

#ifndef _WIN32
// Folders nested deeper than the scan goes stop the add with the path, never silently.
TEST(FolderScan, FoldersTooDeepStopTheAdd) {
  JobSession s;
  fs::path deep = s.dir.Path("tree");
  for (int32_t level = 0; level <= kScanDepth + 1; ++level) deep /= "d";
  fs::create_directories(deep);
  WriteBytes(deep / "f.txt", BytesOf("f"));
  EXPECT_EQ(s.AddTree(), kResultFolderOpen);
  EXPECT_EQ(s.state().Archive.memberCount, 0u);
  EXPECT_NE(s.jobs->host.statusText.find(u"d\\d\\d"), std::u16string::npos);  // the scan joins with backslashes
}

// A pipe in the folder is passed over and counted, instead of waiting for a writer.
TEST(FolderScan, APipeIsPassedOver) {
  JobSession s;
  fs::create_directories(s.dir.Path("tree"));
  WriteBytes(s.dir.Path("tree/file.txt"), BytesOf("x"));
  ASSERT_EQ(mkfifo(s.dir.Path("tree/pipe").c_str(), 0600), 0);
  EXPECT_EQ(s.AddTree(), kResultOk);
  EXPECT_EQ(s.Names(), std::vector<std::u16string>{u"file.txt"});
  EXPECT_EQ(s.state().LeftOutCount, 1u);
}
#endif

// A file another program holds exclusively stops the add: nothing appended, its path named.
TEST(FolderScan, AHeldFileStopsTheAdd) {
  ScratchDir dir;  // outlives the session: the archive is read once the session closed it
  const std::string folder(60, 'd');
  fs::create_directories(dir.Path("tree") / folder);
  WriteBytes(dir.Path("tree/short.txt"), BytesOf("1"));
  WriteBytes(dir.Path("tree") / folder / "ffffffff", BytesOf("2"));
  FileHandle holder = FileOpen(Wide(dir.Path("tree") / folder / "ffffffff").c_str(), kAccessReadWrite, kShareNone, kOpenExisting);
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
