#include "jobs/format_units.h"

#include "jobs/format_template.h"

namespace {
constexpr uint32_t kKiB = 1024;
constexpr uint32_t kMiB = 1048576;
constexpr uint32_t kGiB = 1073741824;
constexpr uint32_t kTiBInHighWords = 256;     // 2^40 bytes counted in units of 2^32
constexpr uint32_t kPiBInHighWords = 262144;  // 2^50 bytes counted in units of 2^32
constexpr double kReallyFastGiBPerSecond = 134217728.0;
}  // namespace

uint32_t FormatSize(char16_t* out, uint64_t bytes) {
  uint32_t hi = static_cast<uint32_t>(bytes >> 32);
  uint32_t lo = static_cast<uint32_t>(bytes);
  if (hi >= kPiBInHighWords) return FormatFixed(out, u"%.2f PB", double(hi) / kPiBInHighWords);
  if (hi >= kTiBInHighWords) return FormatFixed(out, u"%.2f TB", double(hi) / kTiBInHighWords);
  if (hi >= 1) return FormatFixed(out, u"%.2f GB", double(hi) * 4 + double(lo) / kGiB);
  if (lo >= kGiB) return FormatFixed(out, u"%.2f GB", double(lo) / kGiB);
  if (lo >= kMiB) return FormatFixed(out, u"%.1f MB", double(lo) / kMiB);
  if (lo < kKiB) return FormatUInt(out, u"%u bytes", lo);
  return FormatFixed(out, u"%.0f KB", double(lo) / kKiB);
}

uint32_t FormatSpeed(char16_t* out, double mibPerSecond) {
  double r = mibPerSecond;
  if (r > kKiB) {
    double g = r / kKiB;
    if (g > kReallyFastGiBPerSecond) return FormatText(out, u"really fast");
    if (g <= kKiB) return FormatFixed(out, u"%.1f GB/s", g);
    return FormatFixed(out, u"%.1f TB/s", g / kKiB);
  }
  if (r > 1) return FormatFixed(out, u"%.1f MB/s", r);
  if (r * kKiB > 1) return FormatFixed(out, u"%.1f KB/s", r * kKiB);
  return FormatFixed(out, u"%.0f bytes/s", r * kMiB);
}
