// The small JSON writer behind `--json`.
#pragma once

#include <cstdint>
#include <string>

// Appends text as a quoted JSON string (UTF-8 in, escapes for quotes, backslash, controls).
void AppendJsonString(std::string& out, const std::string& utf8);
void AppendJsonKey(std::string& out, const char* key);  // "key":
std::string HexOf(const uint8_t* bytes, size_t count);
