#include "cli/json.h"

namespace {
constexpr char kHexDigits[] = "0123456789abcdef";
}

void AppendJsonString(std::string& out, const std::string& utf8) {
  out += '"';
  for (char byte : utf8) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += byte;
    } else if (c < 0x20) {
      out += "\\u00";
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 15];
    } else {
      out += byte;
    }
  }
  out += '"';
}

void AppendJsonKey(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\":";
}

std::string HexOf(const uint8_t* bytes, size_t count) {
  std::string hex;
  hex.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    hex += kHexDigits[bytes[i] >> 4];
    hex += kHexDigits[bytes[i] & 15];
  }
  return hex;
}
