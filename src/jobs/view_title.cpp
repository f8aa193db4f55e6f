#include "jobs/view_title.h"

#include "jobs/format_template.h"
#include "viewer/view_mode.h"

std::u16string ViewTitle(uint32_t mode, uint32_t page, uint32_t pageCount) {
  std::u16string title = ViewModeTitle(mode);
  if (pageCount < 2) return title;
  char16_t part[kFormatBufferChars];
  title.append(part, FormatUInt(part, u" [%u/", page + 1));
  title.append(part, FormatUInt(part, u"%u]", pageCount));
  return title;
}
