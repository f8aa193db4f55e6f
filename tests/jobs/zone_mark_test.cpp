// Files extracted from a downloaded archive keep its Mark of the Web, so Windows still warns
// before running them. (Under Wine a stream is a file beside its own: the program's side of
// it is the same.)
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "jobs/job_session.h"
#include "support/case_name.h"

namespace {
namespace fs = std::filesystem;

bool WriteStream(const fs::path& file, const std::string& bytes) {
  HANDLE h = CreateFileW((file.wstring() + L":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(h);
  return put == bytes.size();
}

// The stream's bytes, or "none" when the file has none.
std::string ReadStream(const fs::path& file) {
  HANDLE h = CreateFileW((file.wstring() + L":Zone.Identifier").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "none";
  std::string bytes(65536, '\0');
  DWORD got = 0;
  ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(h);
  bytes.resize(got);
  return bytes;
}

struct ZoneCase {
  const char* what;
  std::string archiveMark;  // empty: the archive has none
  std::string fileMark;     // what every extracted file must carry
};

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
  if (!c.archiveMark.empty()) {
    ASSERT_TRUE(WriteStream(tar, c.archiveMark));
  }
  ASSERT_EQ(s.Open(tar), kResultOk);
  ASSERT_EQ(s.Extract(s.dir.Path("out")), kResultOk);
  EXPECT_EQ(ReadStream(s.dir.Path("out/a.txt")), c.fileMark);
  EXPECT_EQ(ReadStream(s.dir.Path("out/sub/b.txt")), c.fileMark);
}

INSTANTIATE_TEST_SUITE_P(Download, ZoneMark, testing::ValuesIn(kZoneCases), CaseName());
}  // namespace
#endif
