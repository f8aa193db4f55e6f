#include "deflate/crc32.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QBX_CRC_CLMUL 1
#endif

namespace {

constexpr uint32_t kSlices = 8;  // bytes folded per step of the portable update

using CrcTables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr CrcTables MakeTables() {
  CrcTables t{};
  t[0] = kCrc32ByteTable;
  // Table k advances a byte that lies k positions before the end of the group.
  for (uint32_t k = 1; k < kSlices; k++)
    for (uint32_t n = 0; n < 256; n++) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}

constexpr CrcTables kTables = MakeTables();

inline uint32_t LoadLe32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // the product targets little-endian machines only
}

inline uint32_t StepBytes(uint32_t c, const uint8_t* p, size_t count) {
  for (size_t i = 0; i < count; i++) c = (c >> 8) ^ kTables[0][(c ^ p[i]) & 0xFF];
  return c;
}

// Works on the non-inverted register.
uint32_t UpdateSliced(uint32_t c, const uint8_t* p, size_t count) {
  while (count >= kSlices) {
    uint32_t lo = LoadLe32(p) ^ c;
    uint32_t hi = LoadLe32(p + 4);
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    p += kSlices;
    count -= kSlices;
  }
  return StepBytes(c, p, count);
}

#ifdef QBX_CRC_CLMUL

// x^n mod P in plain (non-reflected) bit order, P = x^32 + 0x04C11DB7.
constexpr uint32_t PowerModP(uint32_t n) {
  uint64_t r = 1;
  for (uint32_t i = 0; i < n; i++) {
    r <<= 1;
    if (r & 0x100000000ULL) r ^= 0x104C11DB7ULL;
  }
  return static_cast<uint32_t>(r);
}

constexpr uint32_t Reflect32(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 32; i++) r |= ((v >> i) & 1u) << (31 - i);
  return r;
}

// A 128-bit block loaded little-endian holds its first message bit in bit 0, the highest
// power. A carry-less product of two such reflected values comes out one power short, so
// folding a 64-bit half forward by d bits multiplies it by x^(d-1) mod P, kept in the high
// 32 bits of its 64-bit lane.
constexpr uint64_t FoldConstant(uint32_t d) {
  return static_cast<uint64_t>(Reflect32(PowerModP(d - 1))) << 32;
}

// Moves block x forward by d bits: its low half carries 64 more powers than its high half.
constexpr uint64_t kFold512Low = FoldConstant(512 + 64);
constexpr uint64_t kFold512High = FoldConstant(512);
constexpr uint64_t kFold128Low = FoldConstant(128 + 64);
constexpr uint64_t kFold128High = FoldConstant(128);

constexpr size_t kClmulMinimum = 64;  // shorter runs stay with the tables

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) uint32_t UpdateClmul(uint32_t c, const uint8_t* p,
                                                              size_t count) {
  const __m128i k512 = _mm_set_epi64x(static_cast<int64_t>(kFold512High),
                                      static_cast<int64_t>(kFold512Low));
  const __m128i k128 = _mm_set_epi64x(static_cast<int64_t>(kFold128High),
                                      static_cast<int64_t>(kFold128Low));
  auto load = [](const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
  // The register's value is the same as xoring it into the first four message bytes.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  count -= 64;
  while (count >= 64) {
    x0 = _mm_xor_si128(Fold(x0, k512), load(p));
    x1 = _mm_xor_si128(Fold(x1, k512), load(p + 16));
    x2 = _mm_xor_si128(Fold(x2, k512), load(p + 32));
    x3 = _mm_xor_si128(Fold(x3, k512), load(p + 48));
    p += 64;
    count -= 64;
  }
  x1 = _mm_xor_si128(Fold(x0, k128), x1);
  x2 = _mm_xor_si128(Fold(x1, k128), x2);
  x3 = _mm_xor_si128(Fold(x2, k128), x3);
  while (count >= 16) {
    x3 = _mm_xor_si128(Fold(x3, k128), load(p));
    p += 16;
    count -= 16;
  }
  // What is left is a 16-byte message of its own: the tables reduce it from a zero register.
  uint8_t last[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x3);
  c = UpdateSliced(0, last, 16);
  return UpdateSliced(c, p, count);
}

bool HasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

#endif

}  // namespace

uint32_t Crc32UpdatePortable(uint32_t crc, const uint8_t* bytes, size_t count) {
  return ~UpdateSliced(~crc, bytes, count);
}

uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, size_t count) {
#ifdef QBX_CRC_CLMUL
  if (count >= kClmulMinimum && HasClmul()) return ~UpdateClmul(~crc, bytes, count);
#endif
  return ~UpdateSliced(~crc, bytes, count);
}
