// The repair fuzzers, TAR and QBX (CMakeLists.txt gives each its file extension): whatever
// the input, a repair either leaves the file byte for byte as it was, or cuts it where the
// torn member began, and the cut archive then opens writable with the members before it.
#include <algorithm>

#include "core/repair.h"
#include "fuzz_file.h"

namespace {
uint32_t TakeMember(ArchiveContext*) { return 1; }

ResultCode Open(ArchiveContext* context, const std::filesystem::path& path) {
  InitFuzzContext(context, path, TakeMember);
  return OpenArchive(context, 0);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path& path = FuzzFile("qbx-fuzz-repair", QBX_FUZZ_EXTENSION);
  WriteFuzzFile(path, data, size);
  static ArchiveContext context;
  if (Open(&context, path) != kResultOk) {
    CloseArchive(&context);
    return 0;
  }
  static TornTail tail;
  const ResultCode repaired = RepairTornTail(&context, &tail);
  CloseArchive(&context);
  const std::vector<uint8_t> after = ReadFuzzFile(path);
  if (repaired != kResultOk) {
    // Nothing to repair: not one byte may have changed.
    if (after.size() != size || (size != 0 && !std::equal(after.begin(), after.end(), data))) __builtin_trap();
    return 0;
  }
  // Cut where the torn member began: everything before it is as it was.
  if (tail.offset > size || after.size() < tail.offset || !std::equal(data, data + tail.offset, after.begin()))
    __builtin_trap();
  // ... and the archive opens writable, ending with the members before the torn one.
  if (Open(&context, path) != kResultOk || context.openMode != kModeReadWrite) __builtin_trap();
  CloseArchive(&context);
  return 0;
}
