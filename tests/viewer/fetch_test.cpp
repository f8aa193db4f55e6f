// Fetching pages and headers of members of every format through the member-offset table, and
// the texts the viewer makes of them.
#include <gtest/gtest.h>

#include <cstring>

#include "core/archive.h"
#include "jobs/view_title.h"
#include "support/archive_builder.h"
#include "viewer/dump.h"
#include "viewer/member_fetch.h"
#include "viewer/view_mode.h"
#include "support/zip_builder.h"

namespace {
Bytes Pattern(uint32_t count) {
  Bytes b(count);
  for (uint32_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return b;
}

struct Viewed {
  ResultCode result;
  uint32_t pageCount;
  Bytes bytes;  // the fetched bytes, terminators left off
  bool terminated;
  std::u16string text;
};

// Opens the archive, views one member as the viewer does, and closes it again.
Viewed View(const Bytes& archive, const char* file, uint32_t index, uint32_t mode, uint32_t page) {
  ScratchDir dir;
  WriteBytes(dir.Path(file), archive);
  ListingContext l(dir.Path(file));
  EXPECT_EQ(l.Open(), kResultOk);
  int64_t listed = 0;
  for (const ListedMember& m : l.members)
    if (m.index == index) listed = m.entry.packedSize;
  PrepareMemberView(&l.context, listed);
  Viewed v;
  v.pageCount = ViewPageCount(mode, listed);
  PageBuffer buffer;
  v.result = FetchView(&l.context, index, mode, page, &buffer);
  v.bytes.assign(buffer.bytes.begin(), buffer.bytes.begin() + buffer.length);
  uint32_t zeros = IsHeaderView(mode) ? kHeaderTerminators : kDataTerminators;
  v.terminated = buffer.bytes.size() == buffer.length + zeros &&
                 std::all_of(buffer.bytes.begin() + buffer.length, buffer.bytes.end(), [](uint8_t b) { return b == 0; });
  v.text = ConvertView(mode, buffer, page, kTextDumpNarrow);
  return v;
}

Bytes QbxOf(std::initializer_list<QbxMemberFields> members) {
  Bytes a;
  for (const QbxMemberFields& m : members) AppendQbxMember(a, m);
  return a;
}

TEST(ViewFetch, QbxPagesAndTitles) {
  Bytes big = Pattern(300000);
  Bytes archive = QbxOf({{"empty", {}}, {"big", big}, {"text", BytesOf(std::string("one\ntwo\0three", 13))}});
  struct Case {
    const char* what;
    uint32_t index, mode, page;
    uint32_t pageCount;
    Bytes bytes;
    const char16_t* title;
  };
  const Case cases[] = {
      {"a member of 0 bytes", 0, kViewAnsi, 0, 1, {}, u"View Data ANSI"},
      {"first of two pages", 1, kViewDataHex, 0, 2, Bytes(big.begin(), big.begin() + 262144),
       u"View Data Binary Hex [1/2]"},
      {"second page is the rest", 1, kViewDataText, 1, 2, Bytes(big.begin() + 262144, big.end()),
       u"View Data Binary Text [2/2]"},
      {"a page past the end is empty", 1, kViewUtf8, 5, 2, {}, u"View Data UTF-8 [6/2]"},
      {"header of the big member", 1, kViewHeaderHex, 0, 1, Bytes(archive.begin() + 512, archive.begin() + 1024),
       u"View Header Hex"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Viewed v = View(archive, "a.qbx", c.index, c.mode, c.page);
    EXPECT_EQ(v.result, kResultOk);
    EXPECT_EQ(v.pageCount, c.pageCount);
    EXPECT_TRUE(v.bytes == c.bytes);
    EXPECT_TRUE(v.terminated);
    EXPECT_EQ(ViewTitle(c.mode, c.page, v.pageCount), c.title);
  }
  EXPECT_EQ(View(archive, "a.qbx", 0, kViewAnsi, 0).text, u"");
  EXPECT_EQ(View(archive, "a.qbx", 1, kViewDataHex, 1).text,
            HexDump(big.data() + 262144, 300000 - 262144, 262144));
  EXPECT_EQ(View(archive, "a.qbx", 2, kViewAnsi, 0).text, u"one\r\ntwo");
  EXPECT_EQ(View(archive, "a.qbx", 2, kViewDataHex, 0).text.size(), HexDumpLength(13));
}

TEST(ViewFetch, PagingClipsToTheMember) {
  struct Case {
    uint32_t current;
    int64_t delta;
    uint32_t pageCount;
    uint32_t page;
  };
  const Case cases[] = {{0, 64, 2, 1}, {1, -4096, 2, 0}, {100, 64, 200, 164}, {0, 1, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(MoveViewPage(c.current, c.delta, c.pageCount), c.page);
  EXPECT_EQ(ViewPageCount(kViewAnsi, 262144), 1u);
  EXPECT_EQ(ViewPageCount(kViewAnsi, 262145), 2u);
  EXPECT_EQ(ViewPageCount(kViewHeaderText, 300000), 1u);
  EXPECT_EQ(ViewPageCount(kViewUtf16Le, -1), 1u);
}

TEST(ViewFetch, TarHeaderMaterialAndData) {
  Bytes archive;
  std::string records = PaxRecord("mtime", "1600000000.5") + PaxRecord("size", "700");
  AppendPaxHeader(archive, records);
  Bytes data = Pattern(700);
  AppendTarMember(archive, {"with-pax", 0}, data);  // size field 0: the extended size counts
  AppendTarMember(archive, {"plain.txt", 5}, BytesOf("hello"));
  AppendZeroBlocks(archive, 2);

  // Pax block, its records in one block, then the member's own header.
  Viewed header = View(archive, "a.tar", 0, kViewHeaderText, 0);
  EXPECT_EQ(header.result, kResultOk);
  EXPECT_TRUE(header.bytes == Bytes(archive.begin(), archive.begin() + 1536));
  EXPECT_TRUE(header.terminated);
  EXPECT_NE(header.text.find(u"mtime=1600000000.5"), std::u16string::npos);
  EXPECT_NE(header.text.find(u"with-pax"), std::u16string::npos);

  Viewed body = View(archive, "a.tar", 0, kViewDataHex, 0);
  EXPECT_EQ(body.result, kResultOk);
  EXPECT_TRUE(body.bytes == data);
  EXPECT_EQ(body.pageCount, 1u);

  Viewed second = View(archive, "a.tar", 1, kViewAnsi, 0);
  EXPECT_EQ(second.result, kResultOk);
  EXPECT_EQ(second.text, u"hello");
}

TEST(ViewFetch, MembersThatCannotBeFetched) {
  Bytes tar;
  AppendTarMember(tar, {"a", 3}, BytesOf("abc"));
  AppendZeroBlocks(tar, 3);  // indexes 1 to 3 fall on zero blocks
  AppendTarMember(tar, {"b", 2}, BytesOf("xy"));
  AppendZeroBlocks(tar, 2);
  Bytes cut = QbxOf({{"cut", Pattern(1000)}});
  cut.resize(512 + 600);

  struct Case {
    const char* what;
    const Bytes* archive;
    const char* file;
    uint32_t index, mode;
    ResultCode result;
  };
  const Case cases[] = {
      {"an index on a zero block", &tar, "a.tar", 2, kViewAnsi, kResultNotFound},
      {"the header of a zero block", &tar, "a.tar", 1, kViewHeaderHex, kResultNotFound},
      {"an index past the members", &tar, "a.tar", 5, kViewAnsi, kResultNotFound},
      {"the member behind the gap", &tar, "a.tar", 4, kViewAnsi, kResultOk},
      {"data cut off by the end of the file", &cut, "a.qbx", 0, kViewDataHex, kResultUnexpectedEnd},
      {"the header of a cut member is whole", &cut, "a.qbx", 0, kViewHeaderHex, kResultOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Viewed v = View(*c.archive, c.file, c.index, c.mode, 0);
    EXPECT_EQ(v.result, c.result);
    EXPECT_TRUE(v.terminated);
    if (c.result != kResultOk) {
      EXPECT_EQ(v.text, u"");
    }
  }

  ArchiveContext closed;
  InitArchiveContext(&closed, nullptr);
  PageBuffer buffer;
  EXPECT_EQ(ReadMemberData(&closed, 0, 0, &buffer), kResultOpen);
  EXPECT_EQ(closed.result, kResultOpen);
  EXPECT_EQ(ReadMemberHeader(&closed, 0, &buffer), kResultOpen);
}
Bytes Slice(const Bytes& b, size_t from, size_t count) {
  return Bytes(b.begin() + from, b.begin() + from + count);
}

TEST(ViewFetchZip, HeadersAndStoredBytes) {
  Bytes zip;
  ZipEntryFields first = DeflatedEntry("a.txt", BytesOf("hello, hello, hello"));
  first.extra = Bytes{0x55, 0x54, 0x01, 0x00, 0x07};
  AppendZipEntry(zip, first);
  size_t second = zip.size();
  ZipEntryFields streamed = Streamed(StoredEntry("s.bin", BytesOf("streamed data")), Descriptor::Signed);
  AppendZipEntry(zip, streamed);
  AppendCentralDirectory(zip, {"a.txt", "s.bin"});
  Bytes marked = Le32Bytes(0x08074B50);
  marked.insert(marked.end(), zip.begin(), zip.end());

  struct Case {
    const char* what;
    const Bytes* archive;
    uint32_t index, mode;
    Bytes bytes;
  };
  const Case cases[] = {
      {"local header with name and extra", &zip, 0, kViewHeaderHex, Slice(zip, 0, 30 + 5 + 5)},
      {"compressed bytes, not decoded", &zip, 0, kViewDataHex, Slice(zip, 40, first.data.size())},
      {"a streamed member's data end before its descriptor", &zip, 1, kViewDataHex,
       Slice(zip, second + 30 + 5, 13)},
      {"the marker before the first header is stepped over", &marked, 0, kViewHeaderHex,
       Slice(marked, 4, 40)},
      {"and the data behind it found", &marked, 0, kViewDataText, Slice(marked, 44, first.data.size())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Viewed f = View(*c.archive, "a.zip", c.index, c.mode, 0);
    EXPECT_EQ(f.result, kResultOk);
    EXPECT_TRUE(f.bytes == c.bytes);
  }
}

TEST(ViewFetchZip, GzHeaderAndStoredBytes) {
  GzFields fields = Gz(BytesOf("gzip content"), "report.txt");
  fields.comment = "note";
  Bytes gz = GzMember(fields);
  size_t header = 10 + 11 + 5;
  Bytes bare = Slice(gz, 0, 10);
  bare[3] = 0;  // no name, no comment: ten header bytes and nothing else

  struct Case {
    const char* what;
    const Bytes* archive;
    uint32_t mode;
    Bytes bytes;
  };
  const Case cases[] = {
      {"header with name and comment", &gz, kViewHeaderText, Slice(gz, 0, header)},
      {"the bytes between header and trailer", &gz, kViewDataHex, Slice(gz, header, gz.size() - header - 8)},
      {"no room for a trailer: a header and no data", &bare, kViewDataHex, {}},
      {"its header", &bare, kViewHeaderHex, bare},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Viewed f = View(*c.archive, "a.gz", 0, c.mode, 0);
    EXPECT_EQ(f.result, kResultOk);
    EXPECT_TRUE(f.bytes == c.bytes);
  }
}
}  // namespace
