// CRC-32 of ZIP and gzip: reflected, polynomial 0xEDB88320, initial value and final
// inversion 0xFFFFFFFF. A running value is kept in its final (inverted) form, so 0 is the
// value of no data and updates over pieces equal one update over the whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kCrc32Polynomial = 0xEDB88320;

constexpr std::array<uint32_t, 256> MakeCrc32ByteTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t n = 0; n < 256; n++) {
    uint32_t c = n;
    for (int k = 0; k < 8; k++) c = (c & 1) ? (c >> 1) ^ kCrc32Polynomial : c >> 1;
    t[n] = c;
  }
  return t;
}
// The CRC of each byte value: the step of the table-driven update.
inline constexpr std::array<uint32_t, 256> kCrc32ByteTable = MakeCrc32ByteTable();

uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, size_t count);

// The single-byte step without inversion, as ZipCrypto applies it to its key words; inline,
// since ZipCrypto runs it twice a byte.
inline uint32_t Crc32Step(uint32_t value, uint8_t byte) { return (value >> 8) ^ kCrc32ByteTable[(value ^ byte) & 0xFF]; }

// The table-only update, always available; Crc32Update uses carry-less multiplication
// instead on processors that have it. Exposed so that both paths can be compared.
uint32_t Crc32UpdatePortable(uint32_t crc, const uint8_t* bytes, size_t count);
