// CRC-32 against a bit-at-a-time reference, through both update paths, from a running value
// as the previous piece of a member leaves it.
#include <gtest/gtest.h>

#include "deflate/crc32.h"
#include "support/deflate_writer.h"

namespace {
uint32_t BitwiseCrc(uint32_t crc, const uint8_t* p, size_t n) {
  crc = ~crc;
  for (size_t i = 0; i < n; i++) {
    crc ^= p[i];
    for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

TEST(Crc32, TheCheckValue) {
  const Bytes b = BytesOf("123456789");
  EXPECT_EQ(Crc32Update(0, b.data(), b.size()), 0xCBF43926u);
  EXPECT_EQ(Crc32UpdatePortable(0, b.data(), b.size()), 0xCBF43926u);
  EXPECT_EQ(Crc32Step(0xFFFFFFFF, '1'), ~Crc32Update(0, b.data(), 1));  // the byte step keeps the inverted running value
}

TEST(Crc32, BothPathsMatchTheReferenceAtEveryLengthAndAlignment) {
  const Bytes data = RandomBytes(616, 3);
  for (size_t offset = 0; offset < 16; offset++) {
    for (size_t n = 0; n < 600; n += (n < 300 ? 1 : 37)) {
      const uint32_t expect = BitwiseCrc(0x1234567, data.data() + offset, n);
      ASSERT_EQ(Crc32Update(0x1234567, data.data() + offset, n), expect) << offset << " " << n;
      ASSERT_EQ(Crc32UpdatePortable(0x1234567, data.data() + offset, n), expect) << offset << " " << n;
    }
  }
}
}  // namespace
