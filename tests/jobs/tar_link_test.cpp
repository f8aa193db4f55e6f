// TAR link members on extraction: a symbolic link is made only where it points inside the
// destination, a hard link becomes a copy of the member it names; what is left out is
// counted and the job says so.
#include <gtest/gtest.h>

#include <cstring>

#include "jobs/job_session.h"
#include "platform/platform.h"
#include "support/case_name.h"

namespace {
namespace fs = std::filesystem;

enum class Record { kField, kGnuLongLink, kPaxLinkpath };

struct LinkCase {
  const char* what;
  char type;           // '1' hard link, '2' symbolic link
  const char* name;
  std::string target;  // as stored
  Record record;
  ResultCode result;
  std::string found;   // at out/name: "link:TARGET", "file:BYTES" or "none"
  bool makesLink;      // needs a system that makes symbolic links (Wine does not)
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
}  // namespace
