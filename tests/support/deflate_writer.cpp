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

std::vector<uint32_t> CanonicalCodes(const std::vector<uint32_t>& lengths) {
  std::vector<uint32_t> codes(lengths.size());
  uint32_t code = 0;
  for (uint32_t length = 1; length <= 15; length++, code <<= 1)
    for (size_t s = 0; s < lengths.size(); s++)
      if (lengths[s] == length) codes[s] = code++;
  return codes;
}

void DynamicHeader(BitWriter& w, const std::vector<uint32_t>& lengthCodes,
                   const std::vector<uint32_t>& distanceCodes) {
  constexpr uint32_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  // Symbols 0 to 15 take 5 bits, 17 and 18 two (unused): a complete code.
  std::vector<uint32_t> codeLengthLengths(19, 5);
  codeLengthLengths[16] = 0;
  codeLengthLengths[17] = codeLengthLengths[18] = 2;
  const std::vector<uint32_t> codeLengthCodes = CanonicalCodes(codeLengthLengths);
  w.Bits(static_cast<uint32_t>(lengthCodes.size() - 257), 5)
      .Bits(static_cast<uint32_t>(distanceCodes.size() - 1), 5)
      .Bits(19 - 4, 4);
  for (uint32_t symbol : kOrder) w.Bits(codeLengthLengths[symbol], 3);
  for (const auto* lengths : {&lengthCodes, &distanceCodes})
    for (uint32_t length : *lengths) w.Code(codeLengthCodes[length], 5);
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
