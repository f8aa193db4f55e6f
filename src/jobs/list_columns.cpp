#include "jobs/list_columns.h"

namespace {
constexpr const char16_t* kHeadings[kListColumnCount] = {
    u"Name", u"Date", u"Type", u"Size", u"Extracted Size", u"Attributes",
};
constexpr const char16_t* kSortKeys[kListColumnCount + 1] = {
    u"name", u"date", u"type", u"size", u"extracted", u"details", u"archive",
};
}  // namespace

const char16_t* ColumnHeading(uint32_t column, FormatKind format) {
  if (column >= kListColumnCount) return u"";
  if (column != kColumnDetails) return kHeadings[column];
  if (IsTarFormat(format)) return u"Mode";
  if (format == kFormatZip || format == kFormatGz) return u"Method";
  return kHeadings[column];
}

const char16_t* SortKey(uint32_t column) { return column <= kUnsorted ? kSortKeys[column] : nullptr; }
