// The block form of the QBX data checksum against the byte-by-byte definition, above all
// where a block is one addition away from a carry into bit 31. A start value is what the
// previous piece of a member left: the random ones stand for every way of chaining pieces.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/qbx.h"
#include "support/case_name.h"

namespace {
uint32_t ByteByByte(const uint8_t* p, size_t n, uint32_t h) {
  for (size_t i = 0; i < n; ++i) {
    h += p[i];
    h = (h << 1) | (h >> 31);
  }
  return h;
}

struct ChecksumCase {
  const char* what;
  uint8_t fill;        // every byte, or random bytes when randomBytes
  bool randomBytes;
  uint32_t startMask;  // random start values are or-ed with this
};

class QbxChecksumBlocks : public testing::TestWithParam<ChecksumCase> {};

// Every length up to a few blocks, at every alignment, from many start values.
TEST_P(QbxChecksumBlocks, EqualsByteByByte) {
  const ChecksumCase& c = GetParam();
  std::mt19937 random(7);
  std::vector<uint8_t> data(16 * 6 + 15);
  for (uint8_t& b : data) b = c.randomBytes ? static_cast<uint8_t>(random()) : c.fill;
  int mismatches = 0;
  for (int round = 0; round < 2000; ++round) {
    const uint32_t start = static_cast<uint32_t>(random()) | c.startMask;
    const size_t at = random() % 16, length = random() % (data.size() - at + 1);
    if (QbxChecksum(data.data() + at, length, start) != ByteByByte(data.data() + at, length, start)) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QbxChecksumBlocks,
    testing::Values(ChecksumCase{"random bytes", 0, true, 0},
                    ChecksumCase{"all ones bytes", 0xFF, false, 0},
                    ChecksumCase{"all ones bytes, carry bits nearly set", 0xFF, false, 0x7E00},
                    ChecksumCase{"all ones bytes, high bits set", 0xFF, false, 0xFFFF0000},
                    ChecksumCase{"random bytes, carry bits set", 0, true, 0xFE00},
                    ChecksumCase{"zero bytes, every bit set", 0, false, 0xFFFFFFFF}),
    CaseName());
}  // namespace
