// CRC-32 of ZIP and gzip: reflected, polynomial 0xEDB88320, initial value and final
// inversion 0xFFFFFFFF. A running value is kept in its final (inverted) form, so 0 is the
// value of no data and updates over pieces equal one update over the whole.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, size_t count);

// The single-byte step without inversion, as ZipCrypto applies it to its key words.
uint32_t Crc32Step(uint32_t value, uint8_t byte);

// The table-only update, always available; Crc32Update uses carry-less multiplication
// instead on processors that have it. Exposed so that both paths can be compared.
uint32_t Crc32UpdatePortable(uint32_t crc, const uint8_t* bytes, size_t count);
