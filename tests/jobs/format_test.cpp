// Every text of the progress display and the status bar, row by row.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "jobs/format_duration.h"
#include "jobs/format_template.h"
#include "jobs/format_units.h"
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
}  // namespace
