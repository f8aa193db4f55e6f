// Byte counts and transfer rates in units of 1024: KB, MB, GB, TB, PB.
#pragma once

#include <cstdint>

// "0 bytes", "1023 bytes", "2 KB", "1.5 MB", "4.00 GB", "1.00 TB", "1.00 PB".
uint32_t FormatSize(char16_t* out, uint64_t bytes);
// Rate in MB (1048576 bytes) per second: "512 bytes/s", "1.5 MB/s", "2.0 GB/s", "really fast".
uint32_t FormatSpeed(char16_t* out, double mibPerSecond);
