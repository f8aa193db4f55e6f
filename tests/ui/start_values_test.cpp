// What start-up takes from the command line and the screen size.
#include <gtest/gtest.h>

#include <string>

#include "app/start_values.h"

namespace {
std::u16string PathOf(const std::wstring& arguments) {
  char16_t out[260];
  CommandLinePath(arguments.c_str(), out);
  return out;
}

TEST(StartValues, TheCommandLineIsOnePath) {
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'x');
  const std::pair<std::wstring, std::u16string> cases[] = {
      {L"", u""},
      {L"C:\\a b\\c.tar", u"C:\\a b\\c.tar"},
      {L"\"C:\\a b\\c.tar\"", u"C:\\a b\\c.tar"},
      {L"\"C:\\a b\\c.tar\" --flag d.zip", u"C:\\a b\\c.tar"},
      {L"C:\\x.zip\"tail", u"C:\\x.zip"},
      {longPath, std::u16string(longPath.begin(), longPath.begin() + 259)},
      {L"\"" + longPath + L"\"", std::u16string(longPath.begin(), longPath.begin() + 259)},
  };
  for (const auto& [arguments, path] : cases) EXPECT_EQ(PathOf(arguments), path);
}

TEST(StartValues, TheWindowTakesTheScreensSmallerSideWithinLimits) {
  struct Case { int32_t screenWidth, screenHeight; uint32_t dpi; int32_t width, height; } cases[] = {
      {1920, 1080, 96, 1080, 548}, {800, 600, 96, 600, 304}, {3840, 2160, 96, 1920, 975},
      {640, 480, 96, 512, 260},    {480, 1000, 96, 512, 260}, {2000, 2000, 96, 1920, 975},
      // 150 %: wide enough for every column (1365 pixels), within the screen.
      {1920, 1080, 144, 1620, 822}, {1280, 720, 144, 1080, 547}, {3840, 2160, 144, 2880, 1462},
      {640, 480, 144, 640, 390},
  };
  for (const Case& c : cases) {
    WindowSize size = InitialWindowSize(c.screenWidth, c.screenHeight, c.dpi);
    EXPECT_EQ(size.width, c.width) << c.screenWidth << "x" << c.screenHeight;
    EXPECT_EQ(size.height, c.height) << c.screenWidth << "x" << c.screenHeight;
  }
}
}  // namespace
