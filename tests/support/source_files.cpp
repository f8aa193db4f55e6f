#include "support/source_files.h"

#include <gtest/gtest.h>

Bytes Pattern(size_t size, uint32_t seed) {
  Bytes b(size);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<uint8_t>(x >> 16);
  }
  return b;
}

Bytes Text(size_t size, uint32_t seed) {
  Bytes b;
  for (uint32_t i = 0; b.size() < size; ++i) {
    const std::string line = "row " + std::to_string((i * seed) % 1009) + " holds " + std::to_string(i % 97) + "\n";
    b.insert(b.end(), line.begin(), line.end());
  }
  b.resize(size);
  return b;
}

void SetFileTime(const std::filesystem::path& path, uint64_t fileTime) {
  std::u16string wide = Wide(path);
  FileHandle f = FileOpen(wide.c_str(), kAccessReadWrite, kShareReadWrite, kOpenExisting);
  ASSERT_NE(f, kInvalidFile);
  EXPECT_TRUE(FileSetWriteTime(f, fileTime));
  FileClose(f);
}

uint64_t FileTimeOf(const std::filesystem::path& path) {
  std::u16string wide = Wide(path);
  FileHandle f = FileOpen(wide.c_str(), kAccessRead, kShareReadWrite, kOpenExisting);
  if (f == kInvalidFile) return 0;
  FileFacts facts{};
  FileGetFacts(f, wide.c_str(), &facts);
  FileClose(f);
  return facts.modified;
}
