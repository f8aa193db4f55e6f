// GZ files built byte by byte: header fields, names, members one after another, and the
// verdicts of test and extraction.
#include <gtest/gtest.h>

#include <cstring>

#include "core/archive.h"
#include "support/archive_walk.h"
#include "core/filetime.h"
#include "support/source_files.h"
#include "gz/gz.h"
#include "support/zip_builder.h"

namespace {
const Bytes kText = BytesOf("gzip member text\n");
const Bytes kData = Pattern(300000, 9);  // more than one 256 KiB read

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Runs the walk over dir/name with dir/out as the destination.
ResultCode Walk(const ScratchDir& dir, const std::string& name, const Bytes& file, uint32_t testFlag,
                std::vector<std::u16string> skip = {}) {
  WriteBytes(dir.Path(name), file);
  return WalkArchive(dir.Path(name), dir.Path("out"), {testFlag, nullptr, skip});
}
}  // namespace

// Headers the listing refuses are among the test verdicts below.
TEST(GzList, HeaderFieldsAndNames) {
  GzFields named = Gz(kText, "report.txt");
  const std::string longName = std::string(45, 'a') + std::string(255, 'z');
  GzFields extraAndComment = Gz(kText, "after-extra.txt");
  extraAndComment.comment = "a comment";
  extraAndComment.extra = {'A', 'B', 4, 0, 'w', 'x', 'y', 'z'};
  GzFields crcRight = Gz(kText, "crc");
  crcRight.headerCrc = true;
  GzFields method9 = Gz(kText, "m");
  method9.method = 9;
  Bytes headerOnly = GzMember(Gz(kText));
  headerOnly.resize(10);
  struct Case {
    const char* what;
    Bytes bytes;
    std::string name;  // as shown, in UTF-8
    uint16_t method;
    int64_t packed;
    uint64_t size;
  };
  const int64_t packed = static_cast<int64_t>(kText.size()) + 5;
  const Case cases[] = {
      {"stored name", GzMember(named), "report.txt", 8, packed, kText.size()},
      {"long name whole", GzMember(Gz(kText, longName)), longName, 8, packed, kText.size()},
      {"Latin-1 name", GzMember(Gz(kText, "caf\xE9.txt")), "caf\xC3\xA9.txt", 8, packed, kText.size()},
      {"UTF-8 name", GzMember(Gz(kText, "caf\xC3\xA9.txt")), "caf\xC3\xA9.txt", 8, packed, kText.size()},
      {"extra field and comment", GzMember(extraAndComment), "after-extra.txt", 8, packed, kText.size()},
      {"header CRC right", GzMember(crcRight), "crc", 8, packed, kText.size()},
      {"method 9", GzMember(method9), "m", 256, packed, kText.size()},
      {"only the header, named after the file", headerOnly, "head", 8, 0, 0},
      {"members one after another: the last trailer gives the size", Join({GzMember(named), GzMember(Gz(kData))}),
       "report.txt", 8, static_cast<int64_t>(GzMember(named).size() + GzMember(Gz(kData)).size()) - 10 - 11 - 8,
       kData.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    WriteBytes(dir.Path("head.gz"), c.bytes);
    ListingContext l(dir.Path("head.gz"));
    ASSERT_EQ(l.Open(), kResultOk);
    ASSERT_EQ(l.members.size(), 1u);
    const EntryRecord& e = l.members[0].entry;
    EXPECT_EQ(l.members[0].name, c.name);
    EXPECT_EQ(e.method, c.method);
    EXPECT_EQ(e.packedSize, c.packed);
    EXPECT_EQ(e.size, c.size);
    EXPECT_EQ(e.signature, 0x8B1Fu);
  }
}

TEST(GzRun, TestVerdicts) {
  const Bytes one = GzMember(Gz(kText, "t"));
  const Bytes two = GzMember(Gz(kData));
  GzFields badCrc = Gz(kData);
  badCrc.crcDelta = 1;
  GzFields badSize = Gz(kText, "t");
  badSize.sizeDelta = 1;
  GzFields reserved = Gz(kText);
  reserved.extraFlags = 0x40;
  GzFields method9 = Gz(kText);
  method9.method = 9;
  GzFields crcWrong = Gz(kText, "crc");
  crcWrong.headerCrc = true;
  crcWrong.headerCrcDelta = 1;
  Bytes cutName = one;
  cutName.resize(11);
  Bytes cutStream = two;
  cutStream.resize(two.size() - 5000);
  Bytes cutTrailer = one;
  cutTrailer.resize(one.size() - 4);
  // Bytes between the stream's end and the trailer at the file's end.
  Bytes gap = one;
  gap.insert(gap.end() - 8, {1, 2, 3});
  struct Case {
    const char* what;
    Bytes file;
    ResultCode expected;
  };
  const Case cases[] = {
      {"one member", one, kResultOk},
      {"not gzip", BytesOf("PK not gzip at all"), kResultNotArchive},
      {"header CRC wrong", GzMember(crcWrong), kResultChecksum},
      {"first member's header has a reserved flag", GzMember(reserved), kResultFormat},
      {"file ends inside the name", cutName, kResultUnexpectedEnd},
      {"members one after another", Join({one, two, one}), kResultOk},
      {"second member's CRC-32 wrong", Join({one, GzMember(badCrc)}), kResultChecksum},
      {"first member's length wrong", Join({GzMember(badSize), two}), kResultChecksum},
      {"zero padding behind", Join({one, Bytes(5000, 0)}), kResultOk},
      {"stray bytes behind", Join({one, BytesOf("junk")}), kResultFormat},
      {"zeros then stray bytes behind", Join({one, Bytes(300000, 0), BytesOf("x")}), kResultFormat},
      {"half a magic behind", Join({one, Bytes{0x1F}}), kResultFormat},
      {"stream cut short", cutStream, kResultFormat},
      {"trailer cut short", cutTrailer, kResultUnexpectedEnd},
      {"bytes between stream and trailer", gap, kResultChecksum},
      {"only the header", Bytes(one.begin(), one.begin() + 12), kResultUnexpectedEnd},
      {"method 9", GzMember(method9), kResultUnsupportedMethod},
      {"second member's header has a reserved flag", Join({one, GzMember(reserved)}), kResultFormat},
      {"second member has method 9", Join({one, GzMember(method9)}), kResultUnsupportedMethod},
      {"second member's header cut", Join({one, Bytes(two.begin(), two.begin() + 6)}), kResultUnexpectedEnd},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    EXPECT_EQ(Walk(dir, "a.gz", c.file, 1), c.expected);
  }
  ScratchDir dir;
  EXPECT_EQ(Walk(dir, "a.gz", GzMember(method9), 1, {u"a"}), kResultOk);
}

TEST(GzRun, ExtractionWritesEveryMembersData) {
  const Bytes kOld = BytesOf("old file");
  GzFields first = Gz(kText, "caf\xC3\xA9.txt");  // names are UTF-8
  first.mtime = 1600000000;
  struct Case {
    const char* what;
    Bytes file;
    ResultCode result;
    Bytes content;
  };
  const Case cases[] = {
      {"members one after another", Join({GzMember(first), GzMember(Gz(kData)), Bytes(100, 0)}), kResultOk,
       Join({kText, kData})},
      {"stray bytes behind fail as the test does and keep the old file", Join({GzMember(first), BytesOf("junk")}),
       kResultFormat, kOld},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const std::filesystem::path path = dir.root / "out" / u"caf\u00E9.txt";
    std::filesystem::create_directories(path.parent_path());
    WriteBytes(path, kOld);  // replaced only by a sound member
    ASSERT_EQ(Walk(dir, "a.gz", c.file, 0), c.result);
    EXPECT_EQ(ReadBytes(path), c.content);
    if (c.result == kResultOk) {
      EXPECT_EQ(FileTimeOf(path), UnixToFileTime(1600000000));
    }
  }
}

TEST(GzDefaultName, FromTheArchivePath) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"backup.gz", "backup"},
      {u"/data/site.tar.gz", "site.tar"},
      {u"C:\\x\\pkg.TGZ", "pkg.tar"},
      {u"x.gzip", "x"},
      {u"no-dot", "no-dot"},
      {u"C:\\old.files\\data", "data"},
      {u"a/b\\c.gz", "c"},
      {u".gz", "file"},
      {u"dir/", "file"},
      {u"\u00E9t\u00E9.gz", "\xC3\xA9t\xC3\xA9"},
  };
  for (const auto& [path, expected] : cases) {
    uint8_t buffer[kGzDefaultNameSize];
    std::memset(buffer, 0xEE, sizeof buffer);
    const uint32_t length = GzDefaultName(path.c_str(), buffer);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), expected);
    EXPECT_EQ(buffer[length], 0);
  }
}

// A member that grows while the destination runs out of room stops with a reserve still
// free, and its partial file goes: a bomb cannot fill the disk.
TEST(GzRun, StopsBeforeTheDestinationIsFull) {
  ScratchDir dir;
  WriteBytes(dir.Path("big.gz"), GzMember(Gz(Bytes(3 * 524288, 'g'), "big")));
  WalkOptions extract;
  extract.testFlag = 0;
  extract.prepare = [](ArchiveContext*) { ArmFault(kFaultVolumeFull, 2); };
  EXPECT_EQ(WalkArchive(dir.Path("big.gz"), dir.Path("out"), extract), kResultWrite);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path("out")));
  extract.prepare = nullptr;
  EXPECT_EQ(WalkArchive(dir.Path("big.gz"), dir.Path("out"), extract), kResultOk);
}
