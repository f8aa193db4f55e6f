// The listing fuzzers, one per format (CMakeLists.txt gives each its file extension): the
// input becomes an archive file that is opened, listed and tested.
#include "fuzz_file.h"

namespace {
uint32_t gListed;  // one past the highest member index the listing reported

uint32_t NoteMember(ArchiveContext* context) {
  if (context->memberIndex + 1 > gListed) gListed = context->memberIndex + 1;
  return 1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path& path = FuzzFile("qbx-fuzz", QBX_FUZZ_EXTENSION);
  WriteFuzzFile(path, data, size);
  static ArchiveContext context;
  InitFuzzContext(&context, path, NoteMember);
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
