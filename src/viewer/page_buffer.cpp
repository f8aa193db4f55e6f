#include "viewer/page_buffer.h"

void ResetPage(PageBuffer* page, uint32_t length, uint32_t terminators) {
  page->bytes.assign(uint64_t{length} + terminators, 0);
  page->length = length;
}
