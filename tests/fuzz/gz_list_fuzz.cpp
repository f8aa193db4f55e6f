#include "fuzz_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzListArchive(data, size, ".gz");
  return 0;
}
