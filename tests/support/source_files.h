// Source files with known bytes and times for the tests that append and extract.
#pragma once

#include <gtest/gtest.h>

#include "core/append.h"
#include "core/filetime.h"
#include "support/test_files.h"

// A file of the given size whose bytes follow a simple pattern.
Bytes Pattern(size_t size, uint32_t seed = 1);
// Sets a file's last-write time (FILETIME) through the platform layer.
void SetFileTime(const std::filesystem::path& path, uint64_t fileTime);
uint64_t FileTimeOf(const std::filesystem::path& path);
// Lines of text that deflate well, unlike Pattern's bytes.
Bytes Text(size_t size, uint32_t seed = 1);

// The time of the append tests' source: a whole second, and an odd one.
inline constexpr uint64_t kSourceTime = UnixToFileTime(1600000001);

// A source file in a scratch folder, appended to archives beside it.
class AppendTest : public testing::Test {
 protected:
  void SetSource(const Bytes& bytes, uint64_t time = kSourceTime) {
    WriteBytes(dir.Path("src"), bytes);
    SetFileTime(dir.Path("src"), time);
  }
  ResultCode AppendSource(ListingContext& l, const char16_t* name) { return AppendFile(&l.context, src.c_str(), name); }
  ScratchDir dir;
  const std::u16string src = Wide(dir.Path("src"));
};
