// Hand-made Deflate streams for the decoder tests: a bit writer, the fixed code, and
// dynamic block headers with whatever code lengths a case needs, valid or not.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/test_files.h"

struct BitWriter {
  Bytes bytes;
  uint32_t used = 0;  // bits filled in the last byte

  BitWriter& Bits(uint32_t value, uint32_t count);  // first bit lowest, as numbers go
  BitWriter& Code(uint32_t code, uint32_t length);  // most significant bit first, as codes go
  BitWriter& Align();
  BitWriter& Raw(const Bytes& data);                 // after Align
};

Bytes Hex(const std::string& text);  // spaces ignored

// Literal/length symbols and distance codes of the fixed code.
void FixedSymbol(BitWriter& w, uint32_t symbol);
void FixedDistance(BitWriter& w, uint32_t code);
// A block header bit triple.
void BlockStart(BitWriter& w, bool final, uint32_t type);
// Stored blocks (of at most 65535 bytes each) carrying data.
void StoredBlocks(BitWriter& w, const Bytes& data, bool final);

// Canonical codes (most significant bit first) for the given lengths.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths);

// A code-length symbol with its extra-bit value.
using CodeLengthItem = std::pair<uint32_t, uint32_t>;
// HLIT, HDIST, HCLEN = 19, the code-length code lengths and the items sent with them.
void CodeLengthHeader(BitWriter& w, uint32_t lengthCodes, uint32_t distanceCodes,
                      const std::vector<uint8_t>& codeLengthLengths,
                      const std::vector<CodeLengthItem>& items);
// A dynamic block header sending every length as itself with a flat 4-bit code.
void DynamicHeader(BitWriter& w, bool final, const std::vector<uint8_t>& lengthLengths,
                   const std::vector<uint8_t>& distanceLengths);

// Code lengths for `count` symbols, all 0 but the ones given.
std::vector<uint8_t> Lengths(size_t count, const std::vector<std::pair<uint32_t, uint8_t>>& set);
