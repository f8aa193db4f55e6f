#include "support/deflate_writer.h"

#include <algorithm>
#include <cctype>
#include <random>

BitWriter& BitWriter::Bits(uint32_t value, uint32_t count) {
  for (uint32_t i = 0; i < count; i++) {
    if (used == 0) bytes.push_back(0);
    bytes.back() |= static_cast<uint8_t>(((value >> i) & 1) << used);
    used = (used + 1) & 7;
  }
  return *this;
}

BitWriter& BitWriter::Code(uint32_t code, uint32_t length) {
  for (uint32_t i = length; i-- > 0;) Bits((code >> i) & 1, 1);
  return *this;
}

BitWriter& BitWriter::Align() {
  used = 0;
  return *this;
}

BitWriter& BitWriter::Raw(const Bytes& data) {
  bytes.insert(bytes.end(), data.begin(), data.end());
  return *this;
}

Bytes Hex(const std::string& text) {
  Bytes out;
  std::string digits;
  for (char c : text)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  for (size_t i = 0; i + 1 < digits.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return out;
}

Bytes RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes b(count);
  for (auto& x : b) x = static_cast<uint8_t>(random());
  return b;
}

void FixedSymbol(BitWriter& w, uint32_t symbol) {
  if (symbol < 144) w.Code(0x30 + symbol, 8);
  else if (symbol < 256) w.Code(0x190 + symbol - 144, 9);
  else if (symbol < 280) w.Code(symbol - 256, 7);
  else w.Code(0xC0 + symbol - 280, 8);
}

void FixedDistance(BitWriter& w, uint32_t code) { w.Code(code, 5); }

void BlockStart(BitWriter& w, bool final, uint32_t type) {
  w.Bits(final ? 1 : 0, 1).Bits(type, 2);
}

void StoredBlocks(BitWriter& w, const Bytes& data, bool final) {
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(65535, data.size() - at);
    BlockStart(w, final && at + n == data.size(), 0);
    w.Align().Bits(static_cast<uint32_t>(n), 16).Bits(static_cast<uint32_t>(~n & 0xFFFF), 16);
    w.Raw(Bytes(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n)));
    at += n;
  } while (at < data.size());
}

Bytes StoredStream(const Bytes& data) {
  BitWriter w;
  StoredBlocks(w, data, true);
  return w.bytes;
}
