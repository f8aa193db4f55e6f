// The QBX data checksum, h = rotate-left-1(h + b) per byte, sixteen bytes a step.
//
// Why a block step gives the same value: rotating left by one is doubling modulo 2^32 - 1,
// so as long as no addition carries into bit 31, rotate(x + t) = rotate(x) + 2t, and
// sixteen byte steps from h fold into
//   h16 = rotate-left-16(h) + sum over j of b[j] << (16 - j).
// Before step i the bytes added so far weigh less than 2^(i + 9), and bits i + 9 .. 30 of
// rotate-left-i(h) are bits 9 .. 30 - i of h. A carry into bit 31 therefore needs bits
// 9 .. 15 of h all set; then (one block in 128 on random data) the block goes byte by byte.
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/qbx.h"

namespace {
constexpr uint32_t kBlock = 16;
constexpr uint32_t kCarryBits = 0x7Fu << 9;  // bits 9 .. 15
static_assert(255u * ((2u << kBlock) - 2) < (1u << 31), "a block's weighted sum fits in 32 bits");

uint32_t Rotate(uint32_t h, uint32_t by) { return (h << by) | (h >> (32 - by)); }

uint32_t ByteSteps(const uint8_t* bytes, uint64_t count, uint32_t h) {
  for (uint64_t i = 0; i < count; ++i) h = Rotate(h + bytes[i], 1);
  return h;
}

// sum over j of b[j] << (16 - j), for the sixteen bytes at p.
uint32_t WeightedSum(const uint8_t* p) {
#if defined(__SSE2__)
  // Each half times 128, 64 .. 1 in 16-bit lanes; the first half then weighs 2^9 more,
  // the second 2^1.
  const __m128i weights = _mm_setr_epi16(128, 64, 32, 16, 8, 4, 2, 1);
  const __m128i zero = _mm_setzero_si128();
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i first = _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weights);
  const __m128i second = _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weights);
  __m128i s = _mm_add_epi32(_mm_slli_epi32(first, 9), _mm_slli_epi32(second, 1));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(s));
#else
  uint32_t w = 0;
  for (uint32_t j = 0; j < kBlock; ++j) w = (w << 1) + p[j];
  return w << 1;
#endif
}
}  // namespace

uint32_t QbxChecksum(const uint8_t* bytes, uint64_t count, uint32_t start) {
  uint32_t h = start;
  uint64_t i = 0;
  for (; count - i >= kBlock; i += kBlock) {
    if ((h & kCarryBits) == kCarryBits)
      h = ByteSteps(bytes + i, kBlock, h);
    else
      h = Rotate(h, kBlock) + WeightedSum(bytes + i);
  }
  return ByteSteps(bytes + i, count - i, h);
}
