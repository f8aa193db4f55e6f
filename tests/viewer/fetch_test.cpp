// Fetching pages and headers of members of every format through the member-offset table,
// and turning them into the views' texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/archive.h"
#include "deflate/crc32.h"
#include "deflate/deflate_encode.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/narrow.h"
#include "support/source_files.h"
#include "support/test_files.h"
#include "support/view_pages.h"
#include "support/zip_builder.h"
#include "viewer/dump.h"
#include "viewer/member_fetch.h"
#include "viewer/view_mode.h"
#include "viewer/view_text.h"

namespace {
struct Viewed { ResultCode result; Bytes bytes; bool terminated; std::u16string text; };  // bytes: without terminators

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
  PageBuffer buffer;
  v.result = FetchView(&l.context, index, mode, page, &buffer);
  v.bytes.assign(buffer.bytes.begin(), buffer.bytes.begin() + buffer.length);
  uint32_t zeros = IsHeaderView(mode) ? kHeaderTerminators : kDataTerminators;
  v.terminated = buffer.bytes.size() == buffer.length + zeros &&
                 std::all_of(buffer.bytes.begin() + buffer.length, buffer.bytes.end(), [](uint8_t b) { return b == 0; });
  v.text = ConvertView(mode, buffer, page, kTextDumpNarrow);
  return v;
}

Bytes Slice(const Bytes& b, size_t from, size_t count) { return Bytes(b.begin() + from, b.begin() + from + count); }

TEST(ViewFetch, EveryFormatsDataAndHeaders) {
  const Bytes big = Pattern(300000);
  const Bytes qbx = QbxBytes({{"empty", {}}, {"big", big}});
  const Bytes cutQbx = Cut(QbxBytes({{"cut", Pattern(1000)}}), 512 + 600);

  // A pax header whose size counts, its member, a plain member.
  const Bytes paxData = Pattern(700);
  const Bytes tar = Joined({PaxHeader(PaxRecord("mtime", "1600000000.5") + PaxRecord("size", "700")),
                            TarBytes({{{"with-pax", 0}, paxData}, {{"plain.txt", 5}, BytesOf("hello")}})});
  // Indexes 1 to 3 fall on zero blocks.
  const Bytes gapTar = Joined({TarMember({"a", 3}, BytesOf("abc")), Bytes(3 * 512, 0), TarBytes({{{"b", 2}, BytesOf("xy")}})});

  ZipEntryFields first = DeflatedEntry("a.txt", BytesOf("hello, hello, hello"));
  first.extra = Bytes{0x55, 0x54, 0x01, 0x00, 0x07};
  const size_t second = ZipArchive({first}, false).size();
  const Bytes zip = ZipArchive({first, Streamed(StoredEntry("s.bin", BytesOf("streamed data")), Descriptor::Signed)});
  const Bytes markedZip = Joined({Le32Bytes(0x08074B50), zip});

  const Bytes gz = GzMember({.content = BytesOf("gzip content"), .name = "report.txt", .comment = "note"});
  const size_t gzHeader = 10 + 11 + 5;
  Bytes bareGz = Slice(gz, 0, 10);
  bareGz[3] = 0;  // no name, no comment: ten header bytes and nothing else

  struct Case { const char* what; const Bytes* archive; const char* file; uint32_t index, mode, page; ResultCode result; Bytes bytes; };
  const Case cases[] = {
      {"a member of 0 bytes", &qbx, "a.qbx", 0, kViewAnsi, 0, kResultOk, {}},
      {"first of two pages", &qbx, "a.qbx", 1, kViewDataHex, 0, kResultOk, Slice(big, 0, 262144)},
      {"second page is the rest", &qbx, "a.qbx", 1, kViewDataText, 1, kResultOk, Slice(big, 262144, 300000 - 262144)},
      {"a page past the end is empty", &qbx, "a.qbx", 1, kViewUtf8, 5, kResultOk, {}},
      {"QBX header", &qbx, "a.qbx", 1, kViewHeaderHex, 0, kResultOk, Slice(qbx, 512, 512)},
      {"data cut off by the end of the file", &cutQbx, "a.qbx", 0, kViewDataHex, 0, kResultUnexpectedEnd, {}},
      {"the header of a cut member is whole", &cutQbx, "a.qbx", 0, kViewHeaderHex, 0, kResultOk, Slice(cutQbx, 0, 512)},
      // Pax block, its records in one block, then the member's own header.
      {"TAR header material", &tar, "a.tar", 0, kViewHeaderText, 0, kResultOk, Slice(tar, 0, 1536)},
      {"TAR data of the extended size", &tar, "a.tar", 0, kViewDataHex, 0, kResultOk, paxData},
      {"the TAR member behind it", &tar, "a.tar", 1, kViewAnsi, 0, kResultOk, BytesOf("hello")},
      {"an index on a zero block", &gapTar, "a.tar", 2, kViewAnsi, 0, kResultNotFound, {}},
      {"the header of a zero block", &gapTar, "a.tar", 1, kViewHeaderHex, 0, kResultNotFound, {}},
      {"an index past the members", &gapTar, "a.tar", 5, kViewAnsi, 0, kResultNotFound, {}},
      {"the member behind the gap", &gapTar, "a.tar", 4, kViewAnsi, 0, kResultOk, BytesOf("xy")},
      {"local header with name and extra", &zip, "a.zip", 0, kViewHeaderHex, 0, kResultOk, Slice(zip, 0, 30 + 5 + 5)},
      {"stored data: compressed bytes", &zip, "a.zip", 0, kViewStoredHex, 0, kResultOk, Slice(zip, 40, first.data.size())},
      {"data: as they extract", &zip, "a.zip", 0, kViewDataHex, 0, kResultOk, BytesOf("hello, hello, hello")},
      {"a streamed member's stored data end before its descriptor", &zip, "a.zip", 1, kViewStoredHex, 0, kResultOk,
       Slice(zip, second + 30 + 5, 13)},
      {"and so do its data", &zip, "a.zip", 1, kViewUtf8, 0, kResultOk, BytesOf("streamed data")},
      {"the marker before the first header is stepped over", &markedZip, "a.zip", 0, kViewHeaderHex, 0, kResultOk,
       Slice(markedZip, 4, 40)},
      {"and the data behind it found", &markedZip, "a.zip", 0, kViewDataText, 0, kResultOk,
       BytesOf("hello, hello, hello")},
      {"GZ header with name and comment", &gz, "a.gz", 0, kViewHeaderText, 0, kResultOk, Slice(gz, 0, gzHeader)},
      {"stored: the bytes between header and trailer", &gz, "a.gz", 0, kViewStoredHex, 0, kResultOk,
       Slice(gz, gzHeader, gz.size() - gzHeader - 8)},
      {"GZ data as they extract", &gz, "a.gz", 0, kViewAnsi, 0, kResultOk, BytesOf("gzip content")},
      {"a page past the end of them is empty", &gz, "a.gz", 0, kViewAnsi, 1, kResultOk, {}},
      {"no room for a trailer: a header and no data", &bareGz, "a.gz", 0, kViewDataHex, 0, kResultOk, {}},
      {"its header", &bareGz, "a.gz", 0, kViewHeaderHex, 0, kResultOk, bareGz},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Viewed v = View(*c.archive, c.file, c.index, c.mode, c.page);
    EXPECT_EQ(v.result, c.result);
    EXPECT_TRUE(v.bytes == c.bytes);
    EXPECT_TRUE(v.terminated);
    if (c.result != kResultOk) {
      EXPECT_EQ(v.text, u"");
    }
  }
}

// Ten megabytes of text in Huffman-coded blocks: pages deep inside come from the points the
// view keeps, forward and back, through ZipCrypto too; a wrong or missing password is refused.
// The text and its stream are made once for all the cases.
const Bytes& DeepText() {
  static const Bytes text = [] {
    std::string t;
    for (uint32_t i = 0; t.size() < 10000000; ++i) t += "line " + std::to_string(i * 7919 % 100003) + " of the member\n";
    return BytesOf(t);
  }();
  return text;
}

const Bytes& DeepDeflated() {
  static const Bytes packed = [] {
    Bytes p(DeflateBound(DeepText().size()));
    size_t written = 0;
    EXPECT_EQ(DeflateBuffer(kDeflateNormal, DeepText().data(), DeepText().size(), p.data(), p.size(), &written), kDeflateDone);
    p.resize(written);
    return p;
  }();
  return packed;
}

struct DeepCase { const char* what; uint16_t method; const char* password; const char* given; ResultCode result; };
const DeepCase kDeep[] = {
    {"deflate", 8, nullptr, nullptr, kResultOk},
    {"deflate with ZipCrypto", 8, "pw", "pw", kResultOk},
    {"stored with ZipCrypto", 0, "pw", "pw", kResultOk},
    {"a wrong password", 8, "pw", "px", kResultPassword},
    {"no password", 0, "pw", nullptr, kResultPassword},
    // Encrypted with it, so its check byte fits; the window would try it before asking.
    {"an empty password", 0, "", "", kResultPassword},
};
class ViewDeep : public testing::TestWithParam<DeepCase> {};

TEST_P(ViewDeep, PagesForwardAndBack) {
  const DeepCase& c = GetParam();
  const Bytes& plain = DeepText();
  ZipEntryFields fields = StoredEntry("big.txt", c.method == 8 ? DeepDeflated() : plain);
  fields.method = c.method;
  fields.crc = Crc32Update(0, plain.data(), plain.size());
  fields.size = plain.size();
  if (c.password != nullptr) fields = Encrypted(fields, c.password);
  ScratchDir dir;
  WriteBytes(dir.Path("deep.zip"), ZipArchive({fields}));
  ListingContext l(dir.Path("deep.zip"));
  ASSERT_EQ(l.Open(), kResultOk);
  std::string given = c.given != nullptr ? c.given : "";
  l.context.password = c.given != nullptr ? reinterpret_cast<uint8_t*>(given.data()) : nullptr;
  ExpectPagesForwardAndBack(&l.context, 0, static_cast<int64_t>(fields.data.size()), plain, c.result);
}
INSTANTIATE_TEST_SUITE_P(Zip, ViewDeep, testing::ValuesIn(kDeep), CaseName());

// 7-Zip's Deflate64, 9 MB out: its 64 KiB window comes back at each point.
TEST(ViewFetch, Deflate64PagesDeepForwardAndBack) {
  const std::filesystem::path folder = FixturesDir() / "zipgz";
  ListingContext l(folder / "7zz-deflate64-deep.zip");
  ASSERT_EQ(l.Open(), kResultOk);
  ASSERT_EQ(l.members.size(), 1u);
  EXPECT_EQ(l.members[0].entry.method, 9u);
  ExpectPagesForwardAndBack(&l.context, 0, l.members[0].entry.packedSize, ReadBytes(folder / "deep" / "deep.txt"));
}

// A gzip stream (found by fuzzing) that ends in damage right after word copies ran past its
// data into the page's room: the terminators behind the data must still be zero.
TEST(ViewFetch, ExtractedDataEndInZeroTerminators) {
  const Bytes gz = {0x1f, 0x8b, 0x08, 0x00, 0x5f, 0x60, 0x00, 0x00, 0xed, 0xcb, 0xab, 0xfc, 0xbe, 0xb7, 0xe5, 0xf7,
                    0x60, 0x00, 0x00, 0x8d, 0xe5, 0xed, 0xcb, 0xcb, 0xbe, 0xe5, 0xff, 0xff, 0x5f, 0x17, 0xe5, 0xed};
  const Viewed v = View(gz, "scratch.gz", 0, kViewDataHex, 0);
  EXPECT_EQ(v.result, kResultOk);
  EXPECT_FALSE(v.bytes.empty());
  EXPECT_TRUE(v.terminated);
}

TEST(ViewFetch, PagesTitlesAndPaging) {
  // The title of each view and of its pages: UiView, UiViewer and CliRuns.
  struct Case { uint32_t current; int64_t delta; uint32_t pageCount; uint32_t page; };
  const Case cases[] = {{0, 64, 2, 1}, {1, -4096, 2, 0}, {100, 64, 200, 164}, {0, 1, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(MoveViewPage(c.current, c.delta, c.pageCount), c.page);
  EXPECT_EQ(ViewPageCount(kViewAnsi, 0), 1u);
  EXPECT_EQ(ViewPageCount(kViewAnsi, 262144), 1u);
  EXPECT_EQ(ViewPageCount(kViewAnsi, 262145), 2u);
  EXPECT_EQ(ViewPageCount(kViewHeaderText, 300000), 1u);
  EXPECT_EQ(ViewPageCount(kViewUtf16Le, -1), 1u);
}

TEST(ViewFetch, AClosedArchiveFetchesNothing) {
  ArchiveContext closed;
  InitArchiveContext(&closed, nullptr);
  PageBuffer buffer;
  EXPECT_EQ(ReadMemberData(&closed, 0, 0, &buffer, true), kResultOpen);
  EXPECT_EQ(closed.result, kResultOpen);
  EXPECT_EQ(ReadMemberHeader(&closed, 0, &buffer), kResultOpen);
}

// The four text views (where they stop, line feeds, odd lengths, lone surrogates) and the
// hexadecimal and character dumps (line layout, sizes computed in advance, wrapping offsets).
TEST(ViewText, AnsiAndUtf8) {
  struct Case { const char* what; bool utf8; Bytes bytes; std::u16string text; };
  const Case cases[] = {
      {"ANSI ends at a zero byte", false, Bytes{'a', 'b', 0, 'c'}, u"ab"},
      {"bare line feeds get a carriage return", false, BytesOf("one\ntwo\nthree"), u"one\r\ntwo\r\nthree"},
      {"pairs are unchanged", false, BytesOf("one\r\ntwo\r\n"), u"one\r\ntwo\r\n"},
      {"a leading line feed and blank lines", false, BytesOf("\n\n\r\n"), u"\r\n\r\n\r\n"},
      {"a lone carriage return stays", false, BytesOf("a\rb"), u"a\rb"},
      {"UTF-8 decodes", true, BytesOf("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), u"caf\u00E9 \u20AC \U0001F600"},
      {"UTF-8 ends at a zero byte", true, Bytes{'x', 0, 'y'}, u"x"},
      {"UTF-8 line feeds", true, BytesOf("\xC3\xA9\n"), u"\u00E9\r\n"},
      {"a sequence cut at the page end is dropped", true, BytesOf("ab\xE2\x82"), u"ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto n = static_cast<uint32_t>(c.bytes.size());
    EXPECT_EQ(c.utf8 ? Utf8Text(c.bytes.data(), n) : AnsiText(c.bytes.data(), n), c.text);
  }
}

TEST(ViewText, Utf16BothOrders) {
  struct Case { const char* what; Bytes littleEndian; std::u16string text; };
  const Case cases[] = {
      {"plain units", Bytes{'h', 0, 'i', 0}, u"hi"},
      {"an odd last byte is ignored", Bytes{'h', 0, 'i', 0, 'x'}, u"hi"},
      {"ends at the first zero unit", Bytes{'a', 0, 0, 0, 'b', 0}, u"a"},
      {"a zero byte inside a unit does not end it", Bytes{0, 0x4E, 'b', 0}, u"\u4E00b"},
      {"a pair stays", Bytes{0x3D, 0xD8, 0x00, 0xDE}, u"\U0001F600"},
      {"a lone high surrogate", Bytes{0x3D, 0xD8, 'a', 0}, u" a"},
      {"a high surrogate at the end", Bytes{'a', 0, 0x3D, 0xD8}, u"a "},
      {"a lone low surrogate", Bytes{'a', 0, 0x00, 0xDE}, u"a "},
      {"two highs then a low", Bytes{0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE}, u" \U0001F600"},
      {"line feeds stay as they are", Bytes{'a', 0, '\n', 0}, u"a\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t n = static_cast<uint32_t>(c.littleEndian.size());
    EXPECT_EQ(Utf16Text(c.littleEndian.data(), n, false), c.text);
    Bytes swapped = c.littleEndian;
    for (uint32_t i = 0; i + 1 < n; i += 2) std::swap(swapped[i], swapped[i + 1]);
    EXPECT_EQ(Utf16Text(swapped.data(), n, true), c.text);
  }
}

TEST(HexDump, LinesAndOffsets) {
  struct Case { const char* what; uint32_t count; uint64_t base; std::string text; };
  const std::string fullLine =
      "00000000  00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  "
      "10 11 12 13 14 15 16 17  18 19 1A 1B 1C 1D 1E 1F\r\n";
  const Case cases[] = {
      {"nothing", 0, 0, ""},
      {"one byte keeps its trailing space", 1, 0, "00000000  00 "},
      {"eighth byte has the wider gap", 8, 0, "00000000  00 01 02 03 04 05 06 07  "},
      {"a full line ends with CR LF", 32, 0, fullLine},
      {"a short last line has no break", 33, 0, fullLine + "00000020  20 "},
      {"page offsets", 1, 0x40000, "00040000  00 "},
      {"beyond 4 GiB the offset wraps", 1, 0x100000010ull, "00000010  00 "},
      {"wrap inside a page", 33, 0xFFFFFFF0ull,
       "fffffff0  00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  10 11 12 13 14 15 16 17  "
       "18 19 1A 1B 1C 1D 1E 1F\r\n00000010  20 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes(c.count);
    for (uint32_t i = 0; i < c.count; ++i) bytes[i] = static_cast<uint8_t>(i);
    const std::u16string text = HexDump(bytes.data(), c.count, c.base);
    EXPECT_EQ(Narrow(text), c.text);
    EXPECT_EQ(text.size(), HexDumpLength(c.count));
  }
}

TEST(TextDump, CharactersLinesAndSizes) {
  const uint8_t shown[] = {0x00, 0x09, 0x20, 0x21, 0x41, 0x7E, 0x7F, 0x80, 0x9F, 0xA0, 0xA1, 0xE9, 0xFF};
  EXPECT_EQ(TextDump(shown, sizeof shown, 64, 0), u"00000000     !A~    \u00A1\u00E9\u00FF");

  struct Case { const char* what; uint32_t count; uint32_t width; uint64_t base; std::string text; };
  const std::string x64(64, 'x');
  const Case cases[] = {
      {"empty", 0, 64, 0, ""},
      {"a full line ends with CR LF", 64, 64, 0x40000, "00040000  " + x64 + "\r\n"},
      {"a short last line has no break", 65, 64, 0x40000, "00040000  " + x64 + "\r\n00040040  x"},
      {"wide, past 4 GiB the offset wraps", 130, 128, 0x100000000ull,
       "00000000  " + x64 + x64 + "\r\n00000080  xx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes(c.count, 'x');
    std::u16string dump = TextDump(bytes.data(), c.count, c.width, c.base);
    EXPECT_EQ(Narrow(dump), c.text);
    EXPECT_EQ(dump.size(), TextDumpLength(c.count, c.width));
  }
}
}  // namespace
