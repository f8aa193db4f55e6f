#include "app/start_values.h"

#include <algorithm>

namespace {
constexpr uint32_t kMaxPathChars = 259;
constexpr int32_t kMinSide = 512, kMaxSide = 1920;
constexpr int32_t kHeightNumerator = 130, kHeightDenominator = 256;
}  // namespace

void CommandLinePath(const wchar_t* arguments, char16_t* out) {
  uint32_t n = 0;
  if (arguments != nullptr) {
    if (*arguments == L'"') ++arguments;
    while (n < kMaxPathChars && arguments[n] != 0 && arguments[n] != L'"') {
      out[n] = static_cast<char16_t>(arguments[n]);
      ++n;
    }
  }
  out[n] = 0;
}

WindowSize InitialWindowSize(int32_t screenWidth, int32_t screenHeight, uint32_t dpi) {
  const int32_t side = std::clamp(std::min(screenWidth, screenHeight), kMinSide, kMaxSide);
  const int32_t height = side * kHeightNumerator / kHeightDenominator;
  const auto scaled = [dpi](int32_t size) { return static_cast<int32_t>(int64_t{size} * dpi / int64_t{kBaseDpi}); };
  // A screen smaller than the least size still gets the least size, as at 96 dpi.
  return {std::min(scaled(side), std::max(screenWidth, side)), std::min(scaled(height), std::max(screenHeight, height))};
}
