// The viewer fuzzers, one per format (CMakeLists.txt gives each its file extension): the
// input becomes an archive that is listed as qbx view does it; then each of the first
// members is viewed in every mode at the pages the viewer opens on and steps to (the first,
// the second, the last), and every fetched page is turned into its text (the character
// dump at both line widths).
#include <vector>

#include "cli/cli.h"
#include "fuzz_file.h"
#include "viewer/dump.h"
#include "viewer/member_fetch.h"
#include "viewer/view_mode.h"

namespace {
constexpr size_t kViewedMembers = 16;
constexpr int64_t kPageSteps[] = {0, 1, int64_t{1} << 32};  // first, second, last page

struct ListedMember { uint32_t index; int64_t storedSize; };  // storedSize: what the viewer counts pages by
std::vector<ListedMember> gListed;

uint32_t NoteMember(ArchiveContext* context) {
  if (gListed.size() < kViewedMembers) gListed.push_back({context->memberIndex, context->entry.packedSize});
  return 1;
}

// The fetched bytes, then zero terminators for the text conversions; a data page holds at
// most one page.
void CheckPage(uint32_t mode, const PageBuffer& page) {
  const uint32_t terminators = IsHeaderView(mode) ? kHeaderTerminators : kDataTerminators;
  if (page.bytes.size() != uint64_t{page.length} + terminators) __builtin_trap();
  for (size_t i = page.length; i < page.bytes.size(); ++i)
    if (page.bytes[i] != 0) __builtin_trap();
  if (!IsHeaderView(mode) && page.length > kViewPageBytes) __builtin_trap();
}

// The dumps promise their exact lengths (they are built in one allocation); only the
// character dump depends on the line width.
void CheckText(uint32_t mode, const PageBuffer& page, uint32_t pageNumber) {
  const bool hex = mode == kViewDataHex || mode == kViewHeaderHex;
  const bool dump = mode == kViewDataText || mode == kViewHeaderText;
  for (uint32_t width : {kTextDumpNarrow, kTextDumpWide}) {
    const std::u16string text = ConvertView(mode, page, pageNumber, width);
    if (hex && text.size() != HexDumpLength(page.length)) __builtin_trap();
    if (dump && text.size() != TextDumpLength(page.length, width)) __builtin_trap();
    if (!dump) break;
  }
}

// The distinct pages of the first, the second and the last step.
std::vector<uint32_t> PagesToView(uint32_t pageCount) {
  std::vector<uint32_t> pages;
  for (int64_t step : kPageSteps) {
    const uint32_t page = MoveViewPage(0, step, pageCount);
    if (pages.empty() || pages.back() != page) pages.push_back(page);
  }
  return pages;
}

struct Fetched { ResultCode result; std::vector<uint8_t> bytes; };

// Modes differ only in how the bytes become text: every mode of extracted data fetches the
// same page, and both header modes the same header, whatever was viewed before.
void ViewMember(ArchiveContext* context, const ListedMember& member) {
  std::vector<Fetched> first[3];
  for (uint32_t mode = 0; mode < kViewModeCount; ++mode) {
    const uint32_t header = IsHeaderView(mode) ? 0 : mode == kViewStoredHex ? 1 : 2;
    const std::vector<uint32_t> pages = PagesToView(ViewPageCount(mode, member.storedSize));
    for (size_t i = 0; i < pages.size(); ++i) {
      PageBuffer buffer;
      PrepareMemberView(context, member.storedSize);
      const ResultCode r = FetchView(context, member.index, mode, pages[i], &buffer);
      CheckPage(mode, buffer);
      CheckText(mode, buffer, pages[i]);
      if (first[header].size() == i) {
        first[header].push_back({r, buffer.bytes});
      } else if (first[header][i].result != r || first[header][i].bytes != buffer.bytes) {
        __builtin_trap();
      }
    }
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path& path = FuzzFile("qbx-view-fuzz", QBX_FUZZ_EXTENSION);
  WriteFuzzFile(path, data, size);
  static CliSession* const session = [&] {
    auto* s = new CliSession;
    InitCliSession(s, path.u16string());
    return s;
  }();
  ArchiveContext& c = session->context;
  c.onMember = NoteMember;
  gListed.clear();
  if (OpenArchive(&c, 0) == kResultOk) {
    for (const ListedMember& member : gListed) ViewMember(&c, member);
    // One past the last member is no member, in any mode.
    PageBuffer buffer;
    for (uint32_t mode : {kViewAnsi, kViewHeaderHex}) {
      PrepareMemberView(&c, 0);
      if (FetchView(&c, c.memberCount, mode, 0, &buffer) != kResultNotFound) __builtin_trap();
    }
  }
  CloseArchive(&c);
  return 0;
}
