// CRC-32 of ZIP and gzip: reflected, polynomial 0xEDB88320, initial value and final
// inversion 0xFFFFFFFF. A running value is kept in its final (inverted) form, so 0 is the
// value of no data and updates over pieces equal one update over the whole.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kCrc32TableCount = 4;  // tables the context keeps, 256 entries each

// Fills four tables of 256 entries: table 0 byte-wise, tables 1 to 3 for four bytes at a
// time. The update below does not read them (it has wider tables of its own, fixed at
// compile time); they are there for code that wants the classic layout.
void BuildCrcTables(uint32_t* tables);

uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, size_t count);

// The single-byte step without inversion, as ZipCrypto applies it to its key words.
uint32_t Crc32Step(uint32_t value, uint8_t byte);

// The table-only update, always available; Crc32Update uses carry-less multiplication
// instead on processors that have it. Exposed so that both paths can be compared.
uint32_t Crc32UpdatePortable(uint32_t crc, const uint8_t* bytes, size_t count);
