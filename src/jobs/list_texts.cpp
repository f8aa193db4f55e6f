#include "jobs/list_texts.h"

#include "jobs/format_template.h"
#include "jobs/format_units.h"

namespace {
constexpr char16_t kArrowSeparator[] = u"  \u2192  ";

char16_t* Append(char16_t* out, const char16_t* text) {
  while (*text != 0) *out++ = *text++;
  *out = 0;
  return out;
}

// Size text of a, with the arrow and the size text of b when they differ.
char16_t* AppendSizes(char16_t* out, uint64_t a, uint64_t b) {
  char16_t size[kFormatBufferChars];
  FormatSize(size, a);
  out = Append(out, size);
  if (a != b) {
    out = Append(out, kArrowSeparator);
    FormatSize(size, b);
    out = Append(out, size);
  }
  return out;
}

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

uint32_t Length(const char16_t* text) {
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

int32_t CompareFolded(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    char16_t x = FoldCase(*a), y = FoldCase(*b);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

// The greater unit goes first.
int32_t CompareUnitsDescending(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    if (*a != *b) return *a > *b ? -1 : 1;
    if (*a == 0) return 0;
  }
}
}  // namespace

void StatusItemsText(uint32_t listedCount, char16_t* out) {
  char16_t* p = out + FormatUInt(out, u" %u item", listedCount);
  if (listedCount != 1) Append(p, u"s");
}

void StatusSizesText(const ListTotals& t, char16_t* out) {
  out[0] = 0;
  if (t.SelectedCount > 0) {
    char16_t* p = out + FormatUInt(out, u"%u selected  ", t.SelectedCount);
    AppendSizes(p, t.SelectedSize, t.SelectedExtractedSize);
  } else {
    AppendSizes(out, t.TotalSize, t.TotalExtractedSize);
  }
}

uint64_t CellNumber(const char16_t* text) {
  uint64_t value = 0;
  for (; *text != 0; ++text)
    if (*text >= u'0' && *text <= u'9') value = value * 10 + (*text - u'0');
  return value;
}

int32_t CompareRows(uint32_t column, int32_t direction, uint32_t memberA, uint32_t memberB,
                    const char16_t* textA, const char16_t* textB) {
  if (column >= kUnsorted) return static_cast<int32_t>(memberA - memberB) * direction;
  if (column == kColumnName || column == kColumnType) return CompareFolded(textA, textB) * direction;
  if (column == kColumnSize || column == kColumnExtracted) {
    uint32_t la = Length(textA), lb = Length(textB);
    if (la != lb) return (la > lb ? -1 : 1) * direction;
  }
  return CompareUnitsDescending(textA, textB) * direction;
}
