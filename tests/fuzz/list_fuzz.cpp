// The listing fuzzers, one per format (CMakeLists.txt gives each its file extension): the
// input becomes an archive file that is opened, listed and tested.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/archive.h"
#include "formats/formats.h"

namespace {
uint32_t gListed;  // one past the highest member index the listing reported

uint32_t NoteMember(ArchiveContext* context) {
  if (context->memberIndex + 1 > gListed) gListed = context->memberIndex + 1;
  return 1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path path = std::filesystem::temp_directory_path() /
      ("qbx-fuzz-" + std::to_string(getpid()) + QBX_FUZZ_EXTENSION);
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
  context.onMember = NoteMember;
  gListed = 0;
  const ResultCode opened = OpenArchive(&context, 0);
  // A TAR or QBX listing takes any damage: it opens, and lists only members it counts.
  if (QBX_FUZZ_TOLERANT && (opened != kResultOk || gListed > context.memberCount)) __builtin_trap();
  if (opened == kResultOk) {
    // Damage may only ever make the archive read-only, never leave a gap behind it.
    if (context.openMode == kModeReadWrite && context.appendOffset > context.fileSize) __builtin_trap();
    // The test walk reads every member's data the listing stepped over.
    RunMembers(&context, static_cast<int64_t>(context.fileSize), 1);
  }
  CloseArchive(&context);
  return 0;
}
