// What start-up derives from its inputs: the archive path of the command line and the
// window's first size.
#pragma once

#include <cstdint>

// The text after the program's name is one path: one leading quote is skipped, and it
// ends at the next quote, the end, or after 259 characters. out holds 260.
void CommandLinePath(const wchar_t* arguments, char16_t* out);

// The dpi at which sizes are given, 100 %.
inline constexpr uint32_t kBaseDpi = 96;

struct WindowSize {
  int32_t width, height;
};
// The smaller side of the screen, kept within 512 to 1920, and 130/256 of it for the height,
// then scaled to the screen's dpi as the columns are, but never beyond the screen.
WindowSize InitialWindowSize(int32_t screenWidth, int32_t screenHeight, uint32_t dpi);
