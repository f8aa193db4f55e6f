// ZIP archives whose members only the central directory leads to (a program in front of
// them, padding between them), built byte by byte: detected, listed, tested, extracted and
// viewed by member index, while a directory that disagrees with the walk is not trusted.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/archive_builder.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "support/zip_builder.h"
#include "viewer/member_fetch.h"

namespace {
const Bytes kText = BytesOf("the stub in front is a program\n");
const Bytes kData = Pattern(70000, 9);
const Bytes kSmall = BytesOf("small");

// A program's worth of bytes, with a stray local header signature that no walk may take.
Bytes Stub() {
  Bytes stub = Joined({BytesOf("MZ\x90"), Pattern(3000, 4)});
  const Bytes fake = Le32Bytes(0x04034B50);
  std::copy(fake.begin(), fake.end(), stub.begin() + 1200);
  return stub;
}

std::vector<ZipEntryFields> Members() {
  return {StoredEntry("a.txt", kText), DeflatedEntry("b/c.bin", kData), StoredEntry("d.txt", kSmall)};
}

// An entry whose header leaves both sizes to a ZIP64 record it does not carry.
ZipEntryFields WithoutZip64Record(ZipEntryFields s) {
  s.overrideHeaderSizes = true;
  s.headerCompressed32 = s.headerSize32 = 0xFFFFFFFF;
  return s;
}

struct DirectoryCase {
  const char* what;
  std::vector<ZipEntryFields> entries;
  ZipLayout layout;
  const char* file;
  std::vector<size_t> listed;  // entries in the order listed
  ResultCode tested;
};

std::vector<DirectoryCase> DirectoryCases() {
  const std::vector<ZipEntryFields> three = Members();
  const Bytes stub = Stub();
  const std::vector<Bytes> padded = {{}, Bytes(64, 0), BytesOf("junk between members")};
  std::vector<ZipEntryFields> streamed = three;
  streamed[1] = Streamed(streamed[1], Descriptor::Signed);
  // Sizes in the directory only: the descriptor the flag promises is not there at all.
  std::vector<ZipEntryFields> noDescriptor = three;
  noDescriptor[2] = Streamed(noDescriptor[2], Descriptor::None);
  std::vector<ZipEntryFields> wide = three;
  wide[1] = Streamed(wide[1], Descriptor::Zip64Signed);
  wide[2] = WithoutZip64Record(wide[2]);
  return {
      {"ordinary archive", three, ZipLayout{}, "a.zip", {0, 1, 2}, kResultOk},
      {"stub with offsets counted in", three, ZipLayout{.stub = stub}, "a.exe", {0, 1, 2}, kResultOk},
      {"stub with offsets left as they were", three, ZipLayout{.stub = stub, .stubCounted = false}, "a.exe", {0, 1, 2}, kResultOk},
      {"stub in a file named zip", three, ZipLayout{.stub = stub, .stubCounted = false}, "a.zip", {0, 1, 2}, kResultOk},
      {"padding between members", three, ZipLayout{.gaps = padded}, "a.zip", {0, 1, 2}, kResultOk},
      {"streamed member behind padding", streamed, ZipLayout{.gaps = padded}, "a.zip", {0, 1, 2}, kResultOk},
      {"streamed member without its descriptor", noDescriptor, ZipLayout{.gaps = padded}, "a.zip", {0, 1, 2}, kResultOk},
      {"ZIP64 directory behind a stub", wide, ZipLayout{.stub = stub, .stubCounted = false, .zip64 = true}, "a.exe", {0, 1, 2}, kResultOk},
      {"ZIP64 directory with padding", wide, ZipLayout{.stub = stub, .gaps = padded, .zip64 = true}, "a.exe", {0, 1, 2}, kResultOk},
      {"directory in another order", three, ZipLayout{.stub = stub, .stubCounted = false, .order = {2, 0, 1}}, "a.exe", {2, 0, 1}, kResultOk},
      {"directory points beside a member", three, ZipLayout{.gaps = padded, .offsetErrors = {{2, 1}}}, "a.zip", {0, 1}, kResultFormat},
      {"directory disagrees with the walk", three, ZipLayout{.gaps = padded, .offsetErrors = {{0, 100}}}, "a.zip", {0}, kResultFormat},
  };
}

std::map<std::string, Bytes> Contents() {
  return {{"a.txt", kText}, {"b/c.bin", kData}, {"d.txt", kSmall}};
}

using ZipDirectoryMembers = testing::TestWithParam<DirectoryCase>;

TEST_P(ZipDirectoryMembers, ListTestExtractAndView) {
  const DirectoryCase& c = GetParam();
  const Bytes archive = ZipWithDirectory(c.entries, c.layout);
  ScratchDir dir;
  const std::filesystem::path path = dir.Path(c.file);
  WriteBytes(path, archive);
  std::vector<std::u16string> names;
  {
    ListingContext l(path);
    ASSERT_EQ(l.Open(), kResultOk);
    ASSERT_EQ(l.members.size(), c.listed.size());
    for (size_t i = 0; i < c.listed.size(); ++i) {
      SCOPED_TRACE(i);
      const ZipEntryFields& e = c.entries[c.listed[i]];
      const ListedMember& m = l.members[i];
      EXPECT_EQ(m.index, i);
      EXPECT_EQ(m.name, e.name);
      EXPECT_EQ(m.entry.size, e.size);
      EXPECT_EQ(m.entry.packedSize, static_cast<int64_t>(e.data.size()));
      EXPECT_EQ(m.entry.checksum, e.crc);
      // The offset table holds the member's local header, its name behind the fixed part.
      ASSERT_LT(m.offset + 30 + e.name.size(), archive.size());
      EXPECT_EQ(Bytes(archive.begin() + m.offset, archive.begin() + m.offset + 4), Le32Bytes(0x04034B50));
      EXPECT_EQ(std::string(archive.begin() + m.offset + 30, archive.begin() + m.offset + 30 + e.name.size()), e.name);
      // The viewer finds the stored bytes by the same index.
      PrepareMemberView(&l.context, m.entry.packedSize);
      PageBuffer page;
      EXPECT_EQ(ReadMemberData(&l.context, m.index, 0, &page, false), kResultOk);
      EXPECT_TRUE(std::equal(page.bytes.begin(), page.bytes.begin() + page.length, e.data.begin(),
                             e.data.begin() + std::min<size_t>(e.data.size(), 262144)));
      EXPECT_EQ(ReadMemberHeader(&l.context, m.index, &page), kResultOk);
      EXPECT_TRUE(std::equal(page.bytes.begin(), page.bytes.begin() + page.length, archive.begin() + m.offset,
                             archive.begin() + m.offset + 30 + e.name.size() + e.extra.size()));
      names.push_back(std::u16string(m.name.begin(), m.name.end()));
    }
  }
  EXPECT_EQ(WalkArchive(path, dir.Path("test"), {}), c.tested);
  std::vector<std::u16string> offered;
  ASSERT_EQ(WalkArchive(path, dir.Path("out"), kExtract, &offered), kResultOk);
  EXPECT_EQ(offered, names);
  const std::map<std::string, Bytes> contents = Contents();
  for (size_t i : c.listed) {
    const std::string& name = c.entries[i].name;
    EXPECT_EQ(ReadBytes(dir.Path("out") / name), contents.at(name)) << name;
  }
}
INSTANTIATE_TEST_SUITE_P(ZipDirectory, ZipDirectoryMembers, testing::ValuesIn(DirectoryCases()), CaseName());

struct DetectCase {
  const char* what;
  Bytes bytes;
  const char* file;
  ResultCode opened;
  FormatKind format;
};

std::vector<DetectCase> DetectCases() {
  const Bytes stub = Stub();
  const Bytes zip = ZipWithDirectory(Members(), ZipLayout{});
  const Bytes stubbed = ZipWithDirectory(Members(), ZipLayout{.stub = stub, .stubCounted = false});
  Bytes commented = stubbed;  // an archive comment holding a false end record
  commented[commented.size() - 2] = 30;
  commented.insert(commented.end(), {'P', 'K', 5, 6});
  commented.resize(commented.size() + 26, 0);
  Bytes lostDirectory = stubbed;  // the end record points at no central header
  lostDirectory[lostDirectory.size() - 6] ^= 0x40;
  lostDirectory[lostDirectory.size() - 10] ^= 0x40;
  Bytes gz = GzMember(Gz(BytesOf("gzip first"), "g.txt"));
  const Bytes qbx = QbxBytes({{"q.txt", BytesOf("qbx first")}});
  const Bytes tar = Joined({TarMember({"inner.zip", zip.size()}, zip), Bytes(1024, 0)});
  const Bytes zipLast = Cut(tar, 512 + zip.size());  // cut right behind its ZIP member: it ends in the ZIP's end record
  return {
      {"comment that holds an end record", commented, "a.exe", kResultOk, kFormatZip},
      {"stub and no directory", Joined({stub, ZipArchive(Members(), false)}), "a.exe", kResultNotArchive, kFormatNone},
      {"bytes behind the end record", Joined({stubbed, BytesOf("tail")}), "a.exe", kResultNotArchive, kFormatNone},
      {"directory not where the end record says", lostDirectory, "a.exe", kResultNotArchive, kFormatNone},
      {"only an end record", Joined({stub, ZipArchive({})}), "a.exe", kResultNotArchive, kFormatNone},
      {"gzip file with a ZIP behind it", Joined({gz, zip}), "a.bin", kResultOk, kFormatGz},
      {"QBX archive with a ZIP behind it", Joined({qbx, zip}), "a.bin", kResultOk, kFormatQbx},
      {"TAR holding a ZIP", tar, "a.tar", kResultOk, kFormatTar},
      {"TAR holding a ZIP, no extension", tar, "a.bin", kResultNotArchive, kFormatNone},
      {"TAR cut behind its ZIP member", zipLast, "a.tar", kResultOk, kFormatTar},
  };
}

using ZipDirectoryDetection = testing::TestWithParam<DetectCase>;
TEST_P(ZipDirectoryDetection, FormatOfTheFile) {
  const Listing l = ListBytes(GetParam().bytes, GetParam().file);
  EXPECT_EQ(l.result, GetParam().opened);
  EXPECT_EQ(l.format, GetParam().format);
}
INSTANTIATE_TEST_SUITE_P(ZipDirectory, ZipDirectoryDetection, testing::ValuesIn(DetectCases()), CaseName());
}  // namespace
