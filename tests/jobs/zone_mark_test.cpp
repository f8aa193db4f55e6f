// Files extracted from a downloaded archive keep its Mark of the Web, so Windows still warns
// before running them. (Under Wine a stream is a file beside its own: the program's side of
// it is the same.)
#include <gtest/gtest.h>

#ifdef _WIN32
#include <fstream>
#include <iterator>

#include "jobs/job_session.h"
#include "support/case_name.h"

namespace {
namespace fs = std::filesystem;

// The file's Zone.Identifier stream, where Windows keeps the mark.
fs::path Stream(const fs::path& file) { return fs::path(file.wstring() + L":Zone.Identifier"); }
std::string ReadStream(const fs::path& file) {
  std::ifstream in(Stream(file), std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "none";
}

// archiveMark: empty when the archive has none; fileMark: what every extracted file must carry.
struct ZoneCase { const char* what; std::string archiveMark, fileMark; };

const std::string kDownload = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.org/a.tar\r\n";
const std::string kTooLong = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.org/" + std::string(20000, 'x') + "\r\n";

const ZoneCase kZoneCases[] = {
    {"downloaded", kDownload, kDownload},
    {"not marked", "", "none"},
    {"mark too long to keep", kTooLong, "[ZoneTransfer]\r\nZoneId=3\r\n"},
};

class ZoneMark : public testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneMark, GoesOnEveryExtractedFile) {
  const ZoneCase& c = GetParam();
  JobSession s;
  const fs::path tar = s.dir.Path("a.tar");
  WriteBytes(tar, TarBytes({{{"a.txt", 1}, BytesOf("a")}, {{"sub/b.txt", 1}, BytesOf("b")}}));
  if (!c.archiveMark.empty()) WriteBytes(Stream(tar), BytesOf(c.archiveMark));
  ASSERT_EQ(s.Open(tar), kResultOk);
  ASSERT_EQ(s.Extract(s.dir.Path("out")), kResultOk);
  EXPECT_EQ(ReadStream(s.dir.Path("out/a.txt")), c.fileMark);
  EXPECT_EQ(ReadStream(s.dir.Path("out/sub/b.txt")), c.fileMark);
}

INSTANTIATE_TEST_SUITE_P(Download, ZoneMark, testing::ValuesIn(kZoneCases), CaseName());
}  // namespace
#endif
