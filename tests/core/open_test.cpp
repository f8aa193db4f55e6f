// Recognising formats, and opening, creating and closing archives.
#include <gtest/gtest.h>

#include "core/archive.h"
#include "core/detect.h"
#include "support/archive_builder.h"

#include <cstring>

namespace {
TEST(ExtensionOf, LastDotBehindTheLastSeparator) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\a\\b.tar", u".tar"},      {u"C:\\old.files\\data", u""}, {u"/x/old.files/data", u""},
      {u"archive.tar.gz", u".gz"},     {u"noext", u""},               {u"dir/.hidden", u".hidden"},
      {u"mixed\\a.b/c", u""},          {u"trailing.", u"."},          {u"", u""},
  };
  for (const auto& [path, extension] : cases)
    EXPECT_EQ(path.substr(ExtensionOf(path.c_str())), extension) << "path " << path.size();
}

TEST(DetectFormat, ByExtensionThenByContent) {
  Bytes tar;
  AppendTarMember(tar, {"m", 0}, {});
  AppendZeroBlocks(tar, 2);
  Bytes qbx(512, 0);
  std::memcpy(qbx.data(), "XBQK", 4);
  auto pk = [](size_t n) { Bytes b(n, 0); b[0] = 'P'; b[1] = 'K'; return b; };
  auto gz = [](size_t n) { Bytes b(n, 0); b[0] = 0x1F; b[1] = 0x8B; return b; };
  struct Case {
    const char* name;
    Bytes content;
    FormatKind format;
    ResultCode result;
  };
  const Case cases[] = {
      {"Data.TAR", BytesOf("not even a tar"), kFormatTar, kResultOk},  // extension decides, any case
      {"x.Zip", Bytes(), kFormatZip, kResultOk},
      {"x.gz", Bytes(), kFormatGz, kResultOk},
      {"x.QBX", Bytes(), kFormatQbx, kResultOk},
      {"a.tgz", gz(40), kFormatGz, kResultOk},
      {"a.gzip", gz(11), kFormatGz, kResultOk},
      {"book.epub", pk(300), kFormatZip, kResultOk},
      {"tar.bin", tar, kFormatNone, kResultNotArchive},   // TAR only by its extension
      {"pk300", pk(300), kFormatZip, kResultOk},
      {"pk31", pk(31), kFormatZip, kResultOk},
      {"pk20", pk(20), kFormatNone, kResultNotArchive},
      {"gz10", gz(10), kFormatNone, kResultNotArchive},
      {"q511", Bytes(qbx.begin(), qbx.end() - 1), kFormatNone, kResultNotArchive},
      {"q512", qbx, kFormatQbx, kResultOk},
      {"empty", Bytes(), kFormatNone, kResultNotArchive},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    WriteBytes(dir.Path(c.name), c.content);
    ListingContext l(dir.Path(c.name));
    EXPECT_EQ(DetectFormat(&l.context), c.result);
    EXPECT_EQ(l.context.format, c.format);
  }
}

TEST(DetectFormat, FolderWithADotIsSniffedAndMissingFilesAreNoArchive) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.Path("old.files"));
  Bytes qbx(512, 0);
  std::memcpy(qbx.data(), "XBQK", 4);
  WriteBytes(dir.Path("old.files") / "data", qbx);
  ListingContext found(dir.Path("old.files") / "data");
  EXPECT_EQ(DetectFormat(&found.context), 0u);
  EXPECT_EQ(found.context.format, kFormatQbx);
  ListingContext missing(dir.Path("missing"));
  EXPECT_EQ(DetectFormat(&missing.context), 19u);
}

TEST(OpenArchive, CreateAndOpenMissing) {
  ScratchDir dir;
  ListingContext created(dir.Path("new.tar"));
  ASSERT_EQ(created.Open(1), 0u);
  EXPECT_EQ(created.context.fileSize, 1024u);
  EXPECT_EQ(created.context.openMode, kModeReadWrite);
  CloseArchive(&created.context);
  EXPECT_EQ(ReadBytes(dir.Path("new.tar")), Bytes(1024, 0));

  ListingContext qbx(dir.Path("new.qbx"));
  ASSERT_EQ(qbx.Open(1), 0u);
  CloseArchive(&qbx.context);
  EXPECT_EQ(std::filesystem::file_size(dir.Path("new.qbx")), 0u);

  // Opening a missing writable archive creates it empty.
  ListingContext missing(dir.Path("missing.tar"));
  ASSERT_EQ(missing.Open(), 0u);
  EXPECT_TRUE(missing.members.empty());
  EXPECT_EQ(missing.context.openMode, kModeReadWrite);
  EXPECT_TRUE(std::filesystem::exists(dir.Path("missing.tar")));

  // ZIP and GZ are never created.
  ListingContext zip(dir.Path("new.zip"));
  EXPECT_EQ(zip.Open(1), 16u);
  EXPECT_EQ(zip.context.openMode, kModeClosed);
  EXPECT_EQ(zip.context.archiveFile, kInvalidFile);
}

TEST(OpenArchive, RefusesWithoutCallbackOrPath) {
  ScratchDir dir;
  ListingContext l(dir.Path("a.tar"));
  l.context.onMember = nullptr;
  EXPECT_EQ(l.Open(), 6u);
  EXPECT_EQ(l.context.result, 6u);
  ListingContext none(dir.Path("b.tar"));
  none.context.archivePath = nullptr;
  EXPECT_EQ(none.Open(), 14u);
}

TEST(OpenArchive, SecondExclusiveOpenerIsRefusedAndAReaderMakesItReadOnly) {
  ScratchDir dir;
  Bytes tar;
  AppendTarMember(tar, {"m", 1}, BytesOf("1"));
  AppendZeroBlocks(tar, 2);
  WriteBytes(dir.Path("a.tar"), tar);
  {
    ListingContext first(dir.Path("a.tar"));
    ASSERT_EQ(first.Open(), 0u);
    EXPECT_EQ(first.context.openMode, kModeReadWrite);
    ListingContext second(dir.Path("a.tar"));
    EXPECT_EQ(second.Open(), 14u);
  }
  std::u16string path = Wide(dir.Path("a.tar"));
  FileHandle reader = FileOpen(path.c_str(), kAccessRead, kShareRead, kOpenExisting);
  ASSERT_NE(reader, kInvalidFile);
  ListingContext l(dir.Path("a.tar"));
  EXPECT_EQ(l.Open(), 0u);
  EXPECT_EQ(l.context.openMode, kModeReadOnly);
  EXPECT_EQ(l.members.size(), 1u);
  FileClose(reader);
}

TEST(OpenArchive, FailedOpenEndsClosedAndCloseIsIdempotent) {
  ScratchDir dir;
  WriteBytes(dir.Path("x.bin"), BytesOf("nothing we know"));
  ListingContext l(dir.Path("x.bin"));
  EXPECT_EQ(l.Open(), 19u);
  EXPECT_EQ(l.context.openMode, kModeClosed);
  EXPECT_EQ(l.context.ioBuffer, nullptr);
  CloseArchive(&l.context);
  CloseArchive(&l.context);
  EXPECT_EQ(l.context.archiveFile, kInvalidFile);
}

TEST(OpenArchive, ReadFailureDuringListingFailsTheOpen) {
  ScratchDir dir;
  Bytes tar;
  AppendTarMember(tar, {"m", 1}, BytesOf("1"));
  AppendZeroBlocks(tar, 2);
  WriteBytes(dir.Path("a.tar"), tar);
  ListingContext l(dir.Path("a.tar"));
  ArmFault(kFaultRead, 2);
  EXPECT_EQ(l.Open(), 15u);
  DisarmFaults();
  EXPECT_EQ(l.context.openMode, kModeClosed);
}

TEST(RunMembers, Refusals) {
  ScratchDir dir;
  ListingContext l(dir.Path("a.tar"));
  EXPECT_EQ(RunMembers(&l.context, 0, 1), 14u);  // nothing open
  l.context.onMember = nullptr;
  EXPECT_EQ(RunMembers(&l.context, 0, 1), 6u);
}
}  // namespace
