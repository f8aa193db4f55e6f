// The viewer's eight modes: what each fetches, how it pages and how its bytes become text.
#pragma once

#include <cstdint>
#include <string>

#include "core/context.h"
#include "viewer/page_buffer.h"

enum ViewMode : uint32_t {
  kViewAnsi = 0,
  kViewUtf8 = 1,
  kViewUtf16Le = 2,
  kViewUtf16Be = 3,
  kViewDataHex = 4,
  kViewDataText = 5,
  kViewHeaderHex = 6,
  kViewHeaderText = 7,
  kViewStoredHex = 8,  // the member's data as the archive stores them (compressed, encrypted)
};
inline constexpr uint32_t kViewModeCount = 9;

// "View Data ANSI" to "View Stored Data".
const char16_t* ViewModeTitle(uint32_t mode);
bool IsHeaderView(uint32_t mode);
// The data modes but View Stored Data show what the member extracts to.
bool ShowsExtractedData(uint32_t mode);
// Data modes: one page per 256 KiB of the size (the extracted size for the modes that show
// extracted data, else the listed stored size), at least one; header modes one.
uint32_t ViewPageCount(uint32_t mode, int64_t size);
// current + delta, clipped to the first and last page.
uint32_t MoveViewPage(uint32_t current, int64_t delta, uint32_t pageCount);

// Fetches the member's header (header modes) or the page of its data.
ResultCode FetchView(ArchiveContext* context, uint32_t memberIndex, uint32_t mode,
                     uint32_t page, PageBuffer* buffer);
// The text of a fetched page; dumps count offsets from page * 256 KiB (0 for headers), the
// character dumps with textDumpLineBytes bytes a line.
std::u16string ConvertView(uint32_t mode, const PageBuffer& buffer, uint32_t page,
                           uint32_t textDumpLineBytes);
