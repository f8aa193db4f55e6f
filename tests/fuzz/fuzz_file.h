// What the archive fuzzers share: the input written to a file of the process's own, which
// goes when the fuzzer exits, and a context set up to open that file in any format.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "core/archive.h"
#include "formats/formats.h"

// Never destroyed: the exit handler still needs it.
inline std::filesystem::path* gFuzzFile = nullptr;

// The temporary folder's stem-PID.extension, named on the first call.
inline const std::filesystem::path& FuzzFile(const std::string& stem, const std::string& extension) {
  if (gFuzzFile == nullptr) {
    gFuzzFile = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                          (stem + "-" + std::to_string(getpid()) + extension));
    std::atexit([] {
      std::error_code e;
      std::filesystem::remove(*gFuzzFile, e);
    });
  }
  return *gFuzzFile;
}

inline void WriteFuzzFile(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary);
  if (size != 0) out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline std::vector<uint8_t> ReadFuzzFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every format, room for 1024 member offsets, the given member callback; open it next.
inline void InitFuzzContext(ArchiveContext* context, const std::filesystem::path& path,
                            uint32_t (*onMember)(ArchiveContext*)) {
  static uint64_t offsets[1024];
  static std::u16string wide;
  wide = path.u16string();
  InitArchiveContext(context, AllFormatTable());
  context->archivePath = wide.c_str();
  context->memberOffsets = offsets;
  context->memberOffsetCapacity = 1024;
  context->onMember = onMember;
}
