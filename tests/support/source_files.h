// Source files with known bytes and times for the tests that append and extract.
#pragma once

#include "support/test_files.h"

// A file of the given size whose bytes follow a simple pattern.
Bytes Pattern(size_t size, uint32_t seed = 1);
// Sets a file's last-write time (FILETIME) through the platform layer.
void SetFileTime(const std::filesystem::path& path, uint64_t fileTime);
uint64_t FileTimeOf(const std::filesystem::path& path);
