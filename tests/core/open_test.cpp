// Recognising formats, and opening, creating and closing archives.
#include <gtest/gtest.h>

#include "core/archive.h"
#include "core/detect.h"
#include "core/result.h"
#include "support/archive_builder.h"

#include <cstring>

namespace {
Bytes OneMemberTar() { return Joined({TarMember({"m", 1}, BytesOf("1")), Bytes(1024, 0)}); }

Bytes Headed(size_t size, const char* head) {
  Bytes b(size, 0);
  std::memcpy(b.data(), head, std::min(size, std::strlen(head)));
  return b;
}

TEST(DetectFormat, ByExtensionThenByContent) {
  struct Case { const char* name; Bytes content; FormatKind format; };
  const Case cases[] = {
      {"Data.TAR", BytesOf("not even a tar"), kFormatTar},  // extension decides, any case
      {"x.Zip", Bytes(), kFormatZip},
      {"x.gz", Bytes(), kFormatGz},
      {"x.QBX", Bytes(), kFormatQbx},
      {"a.gzip", Headed(11, "\x1F\x8B"), kFormatGz},
      {"tar.bin", OneMemberTar(), kFormatNone},  // TAR only by its extension
      {"pk31", Headed(31, "PK"), kFormatZip},
      {"pk30", Headed(30, "PK"), kFormatNone},
      {"gz10", Headed(10, "\x1F\x8B"), kFormatNone},
      {"q511", Headed(511, "XBQK"), kFormatNone},
      {"q512", Headed(512, "XBQK"), kFormatQbx},
      {"old.files/data", Headed(512, "XBQK"), kFormatQbx},  // the folder's dot is no extension
      {"empty", Bytes(), kFormatNone},
      {"missing", Bytes(), kFormatNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path(c.name).parent_path());
    if (std::string(c.name) != "missing") WriteBytes(dir.Path(c.name), c.content);
    ListingContext l(dir.Path(c.name));
    EXPECT_EQ(DetectFormat(&l.context), c.format == kFormatNone ? kResultNotArchive : kResultOk);
    EXPECT_EQ(l.context.format, c.format);
  }
}

// A code added without a message of its own still shows one; a cancel shows none.
TEST(ResultMessages, ACodeWithoutAMessageOfItsOwnIsAnError) {
  EXPECT_EQ(std::u16string(ResultTitle(static_cast<ResultCode>(99))), u"Error");
  EXPECT_EQ(std::u16string(ResultText(static_cast<ResultCode>(99))), u"Error");
  EXPECT_EQ(ResultTitle(kResultCancelled), nullptr);
}

// A missing TAR or QBX is created empty; ZIP and GZ never are, and never by a read-only open.
TEST(OpenArchive, OnlyMissingWritableArchivesAreCreated) {
  struct Case { const char* name; uint32_t createFlag; ResultCode expected; uint32_t openMode; };
  const Case cases[] = {{"missing.tar", 0, kResultOk, kModeReadWrite}, {"new.zip", 1, kResultOk, kModeReadWrite},
                        {"new.gz", 1, kResultSave, kModeClosed},         {"new.zip", 0, kResultOk, kModeReadWrite},
                        {"new.gz", 0, kResultOpen, kModeClosed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.createFlag ? " created" : " opened"));
    ScratchDir dir;
    ListingContext l(dir.Path(c.name));
    EXPECT_EQ(l.Open(c.createFlag), c.expected);
    EXPECT_TRUE(l.members.empty());
    EXPECT_EQ(l.context.openMode, c.openMode);
    EXPECT_EQ(l.context.archiveFile == kInvalidFile, c.expected != kResultOk);
    EXPECT_EQ(std::filesystem::exists(dir.Path(c.name)), c.expected == kResultOk);
  }
}

// A refused or failed open ends closed with its code kept, and closing again is harmless.
TEST(OpenArchive, RefusalsEndClosed) {
  struct Case { const char* what; const char* file; void (*prepare)(ArchiveContext*); ResultCode expected; };
  const Case cases[] = {
      {"no member callback", "a.tar", [](ArchiveContext* c) { c->onMember = nullptr; }, kResultNoCallback},
      {"no path", "a.tar", [](ArchiveContext* c) { c->archivePath = nullptr; }, kResultOpen},
      {"content we do not know", "x.bin", [](ArchiveContext*) {}, kResultNotArchive},
      {"read fails while listing", "a.tar", [](ArchiveContext*) { ArmFault(kFaultRead, 2); }, kResultRead},
  };
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), OneMemberTar());
  WriteBytes(dir.Path("x.bin"), BytesOf("nothing we know"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ListingContext l(dir.Path(c.file));
    c.prepare(&l.context);
    EXPECT_EQ(l.Open(), c.expected);
    DisarmFaults();
    EXPECT_EQ(l.context.result, c.expected);
    EXPECT_EQ(l.context.openMode, kModeClosed);
    EXPECT_EQ(l.context.ioBuffer, nullptr);
    CloseArchive(&l.context);
    CloseArchive(&l.context);
    EXPECT_EQ(l.context.archiveFile, kInvalidFile);
  }
  ListingContext l(dir.Path("a.tar"));
  EXPECT_EQ(RunMembers(&l.context, 0, 1), kResultOpen);  // nothing open
  l.context.onMember = nullptr;
  EXPECT_EQ(RunMembers(&l.context, 0, 1), kResultNoCallback);
}

TEST(OpenArchive, SecondExclusiveOpenerIsRefusedAndAReaderMakesItReadOnly) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), OneMemberTar());
  {
    ListingContext first(dir.Path("a.tar"));
    ASSERT_EQ(first.Open(), kResultOk);
    EXPECT_EQ(first.context.openMode, kModeReadWrite);
    ListingContext second(dir.Path("a.tar"));
    EXPECT_EQ(second.Open(), kResultOpen);
  }
  std::u16string path = Wide(dir.Path("a.tar"));
  FileHandle reader = FileOpen(path.c_str(), kAccessRead, kShareRead, kOpenExisting);
  ASSERT_NE(reader, kInvalidFile);
  ListingContext l(dir.Path("a.tar"));
  EXPECT_EQ(l.Open(), kResultOk);
  EXPECT_EQ(l.context.openMode, kModeReadOnly);
  EXPECT_EQ(l.members.size(), 1u);
  FileClose(reader);
}
}  // namespace
