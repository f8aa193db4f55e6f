// Fetching the stored (compressed) bytes and raw headers of ZIP and GZ members.
#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "viewer/member_fetch.h"
#include "viewer/view_mode.h"
#include "zip/zip_builder.h"

namespace {
struct Fetched {
  ResultCode result;
  Bytes bytes;
};

Fetched Fetch(const Bytes& archive, const char* file, uint32_t index, uint32_t mode) {
  ScratchDir dir;
  WriteBytes(dir.Path(file), archive);
  ListingContext l(dir.Path(file));
  EXPECT_EQ(l.Open(), 0u);
  int64_t listed = 0;
  for (const ListedMember& m : l.members)
    if (m.index == index) listed = m.entry.packedSize;
  PrepareMemberView(&l.context, listed);
  PageBuffer buffer;
  Fetched f;
  f.result = FetchView(&l.context, index, mode, 0, &buffer);
  f.bytes.assign(buffer.bytes.begin(), buffer.bytes.begin() + buffer.length);
  return f;
}

Bytes Slice(const Bytes& b, size_t from, size_t count) {
  return Bytes(b.begin() + from, b.begin() + from + count);
}

TEST(ViewFetchZip, HeadersAndStoredBytes) {
  Bytes zip;
  ZipEntrySpec first = DeflatedEntry("a.txt", BytesOf("hello, hello, hello"));
  first.extra = Bytes{0x55, 0x54, 0x01, 0x00, 0x07};
  AppendZipEntry(zip, first);
  size_t second = zip.size();
  ZipEntrySpec streamed = Streamed(StoredEntry("s.bin", BytesOf("streamed data")), Descriptor::Signed);
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
    Fetched f = Fetch(*c.archive, "a.zip", c.index, c.mode);
    EXPECT_EQ(f.result, 0u);
    EXPECT_TRUE(f.bytes == c.bytes);
  }
}

TEST(ViewFetchZip, GzHeaderAndStoredBytes) {
  GzSpec spec = Gz(BytesOf("gzip content"), "report.txt");
  spec.comment = "note";
  Bytes gz = GzMember(spec);
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
    Fetched f = Fetch(*c.archive, "a.gz", 0, c.mode);
    EXPECT_EQ(f.result, 0u);
    EXPECT_TRUE(f.bytes == c.bytes);
  }
}
}  // namespace
