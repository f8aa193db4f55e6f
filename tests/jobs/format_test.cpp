// Every text of the progress display and the status bar, row by row, and the cell texts of
// member rows and the texts and order the list derives from them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "formats/formats.h"
#include "jobs/format_duration.h"
#include "jobs/format_template.h"
#include "jobs/format_units.h"
#include "jobs/list_texts.h"
#include "jobs/row_cells.h"
#include "support/narrow.h"

namespace {
constexpr double kYear = 31536000.0;

template <typename Format, typename Value>
std::u16string Text(Format format, Value value) {
  char16_t out[kFormatBufferChars + 8];
  std::fill(std::begin(out), std::end(out), u'#');  // catches a missing terminator
  uint32_t n = format(out, value);
  EXPECT_LE(n, kFormatMaxChars);
  EXPECT_EQ(out[n], u'\0');
  return std::u16string(out, n);
}

TEST(FormatDuration, EveryEdge) {
  const std::pair<double, const char*> cases[] = {
      {0, "0 seconds"}, {-5, "0 seconds"}, {std::nan(""), "0 seconds"},
      {0.1, "0 seconds"} /* below the single-precision 0.1 */, {0.11, "0.1 seconds"}, {9.96, "10.0 seconds"},
      {59.96, "60.0 seconds"}, {60, "60.0 seconds"}, {61, "1 minute"},
      {119, "1 minute, 58 seconds"}, {120, "1 minute, 59 seconds"}, {121, "2 minutes"},
      {3599, "59 minutes, 59 seconds"}, {3600, "1 hour"}, {3601, "1 hour, 1 second"},
      {3661, "1 hour, 1 minute"}, {7205, "2 hours, 5 seconds"}, {86399, "23 hours, 59 minutes"},
      {86400, "1 day"}, {90000, "1 day, 59 minutes"}, {31535999, "364 days, 23 hours"},
      {31536000, "1 year"}, {63158400, "2 years, 1 day"}, {9999 * kYear, "9999 years"},
      {10000 * kYear, "10 thousand years"}, {2500000 * kYear, "2 million years"}, {1e9 * kYear, "too long"},
      {std::numeric_limits<double>::infinity(), "too long"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(Narrow(Text(FormatDuration, seconds)), text) << seconds;
}

TEST(FormatSpeed, EveryEdge) {
  const std::pair<double, const char*> cases[] = {  // MiB per second
      {0, "0 bytes/s"}, {0.0005, "524 bytes/s"}, {0.5, "512.0 KB/s"},
      {1.0, "1024.0 KB/s"}, {1.5, "1.5 MB/s"}, {1024, "1024.0 MB/s"},  // strictly above 1024 before GB/s
      {2048, "2.0 GB/s"}, {2097152, "2.0 TB/s"}, {1e12, "really fast"},
      {std::nan(""), "0 bytes/s"},
  };
  for (const auto& [speed, text] : cases) EXPECT_EQ(Narrow(Text(FormatSpeed, speed)), text) << speed;
}

TEST(FormatSize, EveryEdge) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 bytes"}, {1, "1 bytes"}, {1023, "1023 bytes"},
      {1024, "1 KB"}, {1536, "2 KB"}, {1048575, "1024 KB"},
      {1048576, "1.0 MB"}, {1073741824, "1.00 GB"}, {4294967296, "4.00 GB"},
      {6442450944, "6.00 GB"} /* the low word counts below a terabyte */, {1099511627776, "1.00 TB"},
      {1099511627776 + 0xFFFFFFFF, "1.00 TB"} /* the low word is ignored from here on */, {uint64_t{1} << 50, "1.00 PB"},
      {~uint64_t{0}, "16384.00 PB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(Narrow(Text(FormatSize, bytes)), text) << bytes;
}

TEST(FormatTemplates, ConversionsAndLimits) {
  struct Case { const char* what; std::u16string text; std::string expected; };
  char16_t out[kFormatBufferChars];
  auto uint = [&](const char16_t* pattern, uint32_t value) { return std::u16string(out, FormatUInt(out, pattern, value)); };
  auto fixed = [&](const char16_t* pattern, double value) { return std::u16string(out, FormatFixed(out, pattern, value)); };
  std::u16string long70(70, u'a');
  const Case cases[] = {
      {"hexadecimal", uint(u"%x", 255), "ff"},
      {"largest", uint(u"<%u>", 4294967295u), "<4294967295>"},
      {"no conversion copies whole", uint(u"plain", 7), "plain"},
      {"percent at the end", uint(u"n=%", 5), "n=5"},
      {"long template stops at 63", uint(long70.c_str(), 1), std::string(63, 'a')},
      {"long suffix stops at 63", uint((u"%u" + long70).c_str(), 12), "12" + std::string(61, 'a')},
      {"GB of 0.005 rounds up", fixed(u"%.2f GB", 0.005), "0.01 GB"},
      {"KB of 0.4 rounds down", fixed(u"%.0f KB", 0.4), "0 KB"},
      {"fraction padded", fixed(u"%.3f", 2.05), "2.050"},
      {"seven digits", fixed(u"%.7f", 0.9999999999), "1.0000000"},
      {"eight digits is not a conversion", fixed(u"x%.8f y", 1.5), "x"},
      {"missing f", fixed(u"x%.2 y", 1.5), "x"},
      {"negative clamps to zero", fixed(u"%.1f", -3.0), "0.0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Narrow(c.text), c.expected) << c.what;
}

// ---- The cell texts of member rows and the texts and order the list derives from them.

TEST(RowCells, GroupedDecimal) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0"}, {999, "999"}, {1000, "1 000"}, {1234, "1 234"}, {1200000, "1 200 000"},
      {18446744073709551615ULL, "18 446 744 073 709 551 615"},
  };
  for (const auto& [value, text] : cases) {
    char16_t out[kCellChars];
    GroupedDecimal(value, out);
    EXPECT_EQ(Narrow(out), text);
  }
}

TEST(RowCells, DetailsByFormat) {
  struct Case { FormatKind format; uint32_t attributes; uint32_t mode; uint16_t method; const char* text; };
  const Case cases[] = {
      {kFormatTar, 0x20, 0644, 0, "-rw-r--r--"},   {kFormatTar, 0x10, 040755, 0, "drwxr-xr-x"},
      {kFormatTar, 0x20, 04777, 0, "-rwxrwxrwx"},  {kFormatQbx, 0x21, 0, 0, "RA"},
      {kFormatQbx, 0, 0, 0, "N"},                  {kFormatQbx, 0x2037, 0, 0, "RHSDAI"},
      {kFormatZip, 0x4000, 0, 0, "ZipCrypto Store"}, {kFormatZip, 0x800, 0, 8, "Deflate"},
      {kFormatZip, 0, 0, 9, "Deflate64"},          {kFormatZip, 0x4000, 0, 99, "AES"},
      {kFormatZip, 0, 0, 93, "Unknown"},           {kFormatGz, 0, 0, 8, "Deflate"},
  };
  ArchiveContext c;
  InitArchiveContext(&c, AllFormatTable());
  for (const Case& k : cases) {
    c.format = k.format;
    c.entry.attributes = k.attributes;
    c.entry.mode = k.mode;
    c.entry.method = k.method;
    char16_t out[kCellChars];
    DetailsText(&c, out);
    EXPECT_EQ(Narrow(out), k.text);
  }
}

TEST(RowCells, TypeNamesAndTheirCache) {
  // The fallback from an extension the system does not know is upper-cased in every script,
  // one character for one.
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"", u"Unknown"},          {u"dir/", u"Directory"},   {u"dir\\", u"Directory"},
      {u"README", u"File"},       {u"a.b/c", u"File"},       {u"x.", u"File"},
      {u"x.qqq", u"QQQ File"},    {u"deep/a.Qqq", u"QQQ File"}, {u".profile", u"PROFILE File"},
      {u"a.abcdefghijklmnopqrstuvwxyz", u"ABCDEFGHIJKLMNOPQRSTUVWX File"},
      // Latin-1; sharp s, which has no one-letter capital; Latin Extended; Greek; Cyrillic; no case.
      {u"a.\u00E9t\u00E9", u"\u00C9T\u00C9 File"}, {u"a.stra\u00DFe", u"STRA\u00DFE File"},
      {u"a.\u00FF\u0101\u0142", u"\u0178\u0100\u0141 File"}, {u"a.\u03B1\u03B2\u03C3", u"\u0391\u0392\u03A3 File"},
      {u"a.\u0436\u0444\u0451", u"\u0416\u0424\u0401 File"}, {u"a.\u4E2D\u6587", u"\u4E2D\u6587 File"},
  };
  for (const auto& [name, text] : cases) {
    char16_t out[kTypeTextChars];
    TypeName(name, nullptr, out);
    EXPECT_EQ(std::u16string(out), std::u16string(text)) << Narrow(name);
  }
  // ".tar.gz" is typed by its last extension, whatever the system calls it.
  char16_t gz[kTypeTextChars], tgz[kTypeTextChars];
  TypeName(u"x.gz", nullptr, gz);
  TypeName(u"backup.tar.gz", nullptr, tgz);
  EXPECT_EQ(std::u16string(gz), std::u16string(tgz));
  // A cached entry answers without asking again, and slots are used in rotation.
  TypeCache cache{};
  char16_t out[kTypeTextChars];
  TypeName(u"a.zzq", &cache, out);
  EXPECT_EQ(cache.nextSlot, 1u);
  std::u16string stored(cache.entries[0].text);
  stored[0] = u'Y';
  std::copy(stored.begin(), stored.end(), cache.entries[0].text);
  TypeName(u"b.zzq", &cache, out);
  EXPECT_EQ(Narrow(out), "YZQ File");
  EXPECT_EQ(cache.nextSlot, 1u);
  for (int i = 0; i < 96; ++i) TypeName((u"f." + std::u16string(1, u'a' + i % 26) + std::u16string(1, u'a' + i / 26)).c_str(), &cache, out);
  EXPECT_EQ(cache.nextSlot, 1u);
}

TEST(ListTexts, StatusBarParts) {
  // The unselected texts reach qbx list's output (CliRuns); the selected ones only the window.
  char16_t out[kStatusPartChars];
  ListTotals t{};
  t.SelectedCount = 2;
  t.SelectedSize = 1500;
  t.SelectedExtractedSize = 3500;
  StatusSizesText(t, out);
  EXPECT_EQ(std::u16string(out), u"2 selected  1 KB  \u2192  3 KB");
  EXPECT_EQ(CellNumber(u"1 234"), 1234u);
  EXPECT_EQ(CellNumber(u""), 0u);
}

TEST(ListTexts, RowOrder) {
  struct Case { uint32_t column; int32_t direction; const char16_t *a, *b; int sign; };
  const Case cases[] = {
      {0, 1, u"apple", u"Banana", -1},   {0, -1, u"apple", u"Banana", 1},
      {0, 1, u"ABC", u"abc", 0},         {3, 1, u"1 000", u"999", -1},   // larger first
      {3, -1, u"1 000", u"999", 1},      {3, 1, u"500", u"900", 1},
      {1, 1, u"2023-05-17 14:03", u"2022-01-01 00:00", -1},               // newest first
      {5, 1, u"-rw-r--r--", u"drwxr-xr-x", 1},
  };
  for (const Case& c : cases) {
    int32_t r = CompareRows(c.column, c.direction, 0, 1, c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << Narrow(c.a) << " vs " << Narrow(c.b);
  }
  EXPECT_LT(CompareRows(6, 1, 3, 7, u"", u""), 0);   // archive order
  EXPECT_GT(CompareRows(6, -1, 3, 7, u"", u""), 0);
}
}  // namespace
