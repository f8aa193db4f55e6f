// Hand-made Deflate streams for the decoder tests: a bit writer, the fixed code and stored
// blocks.
#pragma once

#include <cstdint>
#include <string>
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
Bytes RandomBytes(size_t count, uint32_t seed);

// Literal/length symbols and distance codes of the fixed code.
void FixedSymbol(BitWriter& w, uint32_t symbol);
void FixedDistance(BitWriter& w, uint32_t code);
// A block header bit triple.
void BlockStart(BitWriter& w, bool final, uint32_t type);
// Stored blocks (of at most 65535 bytes each) carrying data; a whole stream of them.
void StoredBlocks(BitWriter& w, const Bytes& data, bool final);
Bytes StoredStream(const Bytes& data);
