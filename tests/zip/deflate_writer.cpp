#include "deflate_writer.h"

#include <algorithm>
#include <cctype>

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

std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t count[16] = {}, next[16] = {};
  for (uint8_t l : lengths) count[l]++;
  count[0] = 0;
  for (uint32_t l = 1, code = 0; l < 16; l++) next[l] = code = (code + count[l - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); s++)
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  return codes;
}

void CodeLengthHeader(BitWriter& w, uint32_t lengthCodes, uint32_t distanceCodes,
                      const std::vector<uint8_t>& codeLengthLengths,
                      const std::vector<CodeLengthItem>& items) {
  static const uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  static const uint8_t kExtra[3] = {2, 3, 7};
  w.Bits(lengthCodes - 257, 5).Bits(distanceCodes - 1, 5).Bits(19 - 4, 4);
  for (uint8_t symbol : kOrder) w.Bits(codeLengthLengths[symbol], 3);
  const std::vector<uint32_t> codes = CanonicalCodes(codeLengthLengths);
  for (auto [symbol, extra] : items) {
    w.Code(codes[symbol], codeLengthLengths[symbol]);
    if (symbol >= 16) w.Bits(extra, kExtra[symbol - 16]);
  }
}

void DynamicHeader(BitWriter& w, bool final, const std::vector<uint8_t>& lengthLengths,
                   const std::vector<uint8_t>& distanceLengths) {
  BlockStart(w, final, 2);
  std::vector<uint8_t> flat(19, 0);
  for (uint32_t s = 0; s < 16; s++) flat[s] = 4;
  std::vector<CodeLengthItem> items;
  for (uint8_t l : lengthLengths) items.push_back({l, 0});
  for (uint8_t l : distanceLengths) items.push_back({l, 0});
  CodeLengthHeader(w, static_cast<uint32_t>(lengthLengths.size()),
                   static_cast<uint32_t>(distanceLengths.size()), flat, items);
}

std::vector<uint8_t> Lengths(size_t count, const std::vector<std::pair<uint32_t, uint8_t>>& set) {
  std::vector<uint8_t> lengths(count, 0);
  for (auto [symbol, length] : set) lengths[symbol] = length;
  return lengths;
}
