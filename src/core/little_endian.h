// Little-endian numbers inside archive headers, read byte by byte (any alignment).
#pragma once

#include <cstdint>

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline uint64_t Le64(const uint8_t* p) { return Le32(p) | static_cast<uint64_t>(Le32(p + 4)) << 32; }

// Writes the value's bytes, low byte first; returns the position behind them.
inline uint8_t* PutLe16(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  return p + 2;
}

inline uint8_t* PutLe32(uint8_t* p, uint32_t value) { return PutLe16(PutLe16(p, value & 0xFFFF), value >> 16); }

inline uint8_t* PutLe64(uint8_t* p, uint64_t value) {
  return PutLe32(PutLe32(p, static_cast<uint32_t>(value)), static_cast<uint32_t>(value >> 32));
}
