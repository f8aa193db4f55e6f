// The bytes fetched for one page of the viewer, followed by zero bytes so that the text
// conversions always find a terminator.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr uint32_t kViewPageBytes = 262144;
inline constexpr uint32_t kDataTerminators = 2;    // a whole zero UTF-16 unit
inline constexpr uint32_t kHeaderTerminators = 1;

struct PageBuffer {
  std::vector<uint8_t> bytes;  // length fetched bytes, then the terminators
  uint32_t length;
};

// Sizes the buffer for length bytes and their terminators, all zero.
void ResetPage(PageBuffer* page, uint32_t length, uint32_t terminators);
