#include "viewer/view_mode.h"

#include <algorithm>

#include "viewer/dump.h"
#include "viewer/member_fetch.h"
#include "viewer/view_text.h"

namespace {
constexpr const char16_t* kTitles[kViewModeCount] = {
    u"View Data ANSI",       u"View Data UTF-8",       u"View Data UTF-16L", u"View Data UTF-16B",
    u"View Data Binary Hex", u"View Data Binary Text", u"View Header Hex",   u"View Header Text",
    u"View Stored Data",
};
}  // namespace

const char16_t* ViewModeTitle(uint32_t mode) {
  return mode < kViewModeCount ? kTitles[mode] : u"";
}

bool IsHeaderView(uint32_t mode) { return mode == kViewHeaderHex || mode == kViewHeaderText; }

bool ShowsExtractedData(uint32_t mode) { return !IsHeaderView(mode) && mode != kViewStoredHex; }

uint32_t ViewPageCount(uint32_t mode, int64_t size) {
  if (IsHeaderView(mode) || size <= 0) return 1;
  return static_cast<uint32_t>((static_cast<uint64_t>(size) + kViewPageBytes - 1) / kViewPageBytes);
}

uint32_t MoveViewPage(uint32_t current, int64_t delta, uint32_t pageCount) {
  int64_t last = pageCount > 0 ? int64_t{pageCount} - 1 : 0;
  return static_cast<uint32_t>(std::clamp<int64_t>(int64_t{current} + delta, 0, last));
}

ResultCode FetchView(ArchiveContext* context, uint32_t memberIndex, uint32_t mode,
                     uint32_t page, PageBuffer* buffer) {
  if (IsHeaderView(mode)) return ReadMemberHeader(context, memberIndex, buffer);
  return ReadMemberData(context, memberIndex, page, buffer, ShowsExtractedData(mode));
}

std::u16string ConvertView(uint32_t mode, const PageBuffer& buffer, uint32_t page,
                           uint32_t textDumpLineBytes) {
  const uint8_t* bytes = buffer.bytes.data();
  uint32_t n = buffer.length;
  uint64_t base = IsHeaderView(mode) ? 0 : uint64_t{page} * kViewPageBytes;
  switch (mode) {
    case kViewAnsi: return AnsiText(bytes, n);
    case kViewUtf8: return Utf8Text(bytes, n);
    case kViewUtf16Le: return Utf16Text(bytes, n, false);
    case kViewUtf16Be: return Utf16Text(bytes, n, true);
    case kViewDataHex:
    case kViewStoredHex:
    case kViewHeaderHex: return HexDump(bytes, n, base);
    case kViewDataText:
    case kViewHeaderText: return TextDump(bytes, n, textDumpLineBytes, base);
    default: return std::u16string();
  }
}
