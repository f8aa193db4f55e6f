// Times, in one process as the window does it, a test of the last member of 1 to 2 times
// MIN_SIZE bytes of an open .tar.gz against a test of every member: the one member starts at
// the nearest resumption point of the listing. Prints both times, the member's size and index.
// Usage: qbx_bench_targz ARCHIVE.tar.gz MIN_SIZE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/archive.h"
#include "formats/formats.h"

namespace {
struct Listed {
  uint32_t index;
  uint64_t size;
};
std::vector<Listed> gListed;
uint32_t gWanted = 0;

uint32_t Collect(ArchiveContext* context) {
  gListed.push_back({context->memberIndex, context->entry.size});
  return 1;
}
uint32_t TestIt(ArchiveContext*) { return 1; }
uint32_t OnlyWanted(ArchiveContext* context, uint32_t index) { return index <= gWanted ? gWanted : context->memberCount; }

double Seconds(ArchiveContext* context, uint32_t (*next)(ArchiveContext*, uint32_t)) {
  context->onMember = TestIt;
  context->nextWanted = next;
  const auto start = std::chrono::steady_clock::now();
  const ResultCode r = RunMembers(context, 0, 1);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (r != kResultOk) {
    std::fprintf(stderr, "qbx_bench_targz: test failed with %u\n", r);
    std::exit(1);
  }
  return s;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const uint64_t minSize = std::strtoull(argv[2], nullptr, 10);
  std::u16string path(argv[1], argv[1] + std::char_traits<char>::length(argv[1]));
  std::vector<uint64_t> offsets(1 << 20);
  ArchiveContext context;
  InitArchiveContext(&context, AllFormatTable());
  context.archivePath = path.c_str();
  context.memberOffsets = offsets.data();
  context.memberOffsetCapacity = static_cast<uint32_t>(offsets.size());
  context.onMember = Collect;
  if (OpenArchive(&context, 0) != kResultOk || context.format != kFormatTarGz) {
    std::fprintf(stderr, "qbx_bench_targz: not a TAR inside gzip\n");
    return 1;
  }
  uint64_t wantedSize = 0;
  for (const Listed& m : gListed)
    if (m.size >= minSize && m.size < 2 * minSize) gWanted = m.index, wantedSize = m.size;
  const double one = Seconds(&context, OnlyWanted);
  const double all = Seconds(&context, nullptr);
  std::printf("%.3f %.3f %llu %u\n", one, all, static_cast<unsigned long long>(wantedSize), gWanted);
  CloseArchive(&context);
  return 0;
}
