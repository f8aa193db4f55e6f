// Shared by the listing fuzzers: the input becomes an archive file that is opened and listed.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/archive.h"
#include "formats/formats.h"

inline uint32_t FuzzIgnoreMember(ArchiveContext*) { return 1; }

inline void FuzzListArchive(const uint8_t* data, size_t size, const char* extension) {
  static const std::filesystem::path path = std::filesystem::temp_directory_path() /
      ("qbx-fuzz-" + std::to_string(getpid()) + extension);
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size != 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  static uint64_t offsets[1024];
  static ArchiveContext context;
  static std::u16string wide = path.u16string();
  InitArchiveContext(&context, AllFormatTable());
  context.archivePath = wide.c_str();
  context.memberOffsets = offsets;
  context.memberOffsetCapacity = 1024;
  context.onMember = FuzzIgnoreMember;
  if (OpenArchive(&context, 0) == kResultOk) {
    // Damage may only ever make the archive read-only, never leave a gap behind it.
    if (context.openMode == kModeReadWrite && context.appendOffset > context.fileSize) __builtin_trap();
    // The test walk reads every member's data the listing stepped over.
    RunMembers(&context, static_cast<int64_t>(context.fileSize), 1);
  }
  CloseArchive(&context);
}
