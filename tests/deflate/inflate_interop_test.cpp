// Streams made by gzip, pigz, Info-ZIP zip and 7zz (tests/fixtures/zip_fixtures.sh),
// decoded whole and in awkward pieces, against the sample they were made from.
#include <gtest/gtest.h>

#include <random>

#include "support/test_files.h"
#include "deflate/crc32.h"
#include "deflate/inflate.h"

namespace {

struct RawStream {
  Bytes bytes;
  uint32_t crc;
  InflateFunction decoder;
};

uint32_t Le(const Bytes& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n; i-- > 0;) v = v << 8 | b[at + i];
  return v;
}

// The Deflate stream of a gzip member with a plain header, or of a ZIP's first member.
RawStream Extract(const Bytes& file, bool zip) {
  if (zip) {
    const size_t start = 30 + Le(file, 26, 2) + Le(file, 28, 2);
    const size_t size = Le(file, 18, 4);
    return {Bytes(file.begin() + static_cast<long>(start), file.begin() + static_cast<long>(start + size)),
            Le(file, 14, 4), Le(file, 8, 2) == 9 ? Inflate64 : Inflate};
  }
  EXPECT_EQ(file[3], 0) << "gzip header with optional fields";
  return {Bytes(file.begin() + 10, file.end() - 8), Le(file, file.size() - 8, 4), Inflate};
}

// Decodes with input pieces and output blocks drawn at random from the given ranges.
Bytes Decode(const RawStream& s, size_t maxPiece, size_t maxBlock, uint32_t seed) {
  std::mt19937 random(seed);
  InflateStream stream{};
  stream.state = NewInflateState();
  Bytes out, block(maxBlock);
  size_t at = 0;
  InflateResult r = kInflateProgress;
  while (r == kInflateProgress) {
    if (stream.inputLeft == 0) {
      const size_t n = std::min<size_t>(1 + random() % maxPiece, s.bytes.size() - at);
      stream.input = s.bytes.data() + at;
      stream.inputLeft = static_cast<uint32_t>(n);
      at += n;
    }
    const uint32_t room = 1 + random() % static_cast<uint32_t>(maxBlock);
    stream.output = block.data();
    stream.outputLeft = room;
    r = s.decoder(&stream);
    out.insert(out.end(), block.begin(), block.begin() + (room - stream.outputLeft));
  }
  EXPECT_EQ(r, kInflateDone);
  EXPECT_EQ(at - stream.inputLeft, s.bytes.size()) << "the stream must end where its maker ended it";
  EndInflateStream(&stream);
  return out;
}

TEST(InflateInterop, StreamsOfIndependentToolsDecodeToTheirSample) {
  const auto dir = FixturesDir() / "inflate";
  const Bytes sample = ReadBytes(dir / "sample.bin");
  ASSERT_GT(sample.size(), 500000u);
  const char* files[] = {"gzip1.gz",        "gzip6.gz",          "gzip9.gz",
                         "pigz9.gz",        "pigz11.gz",         "infozip.zip",
                         "7zz-deflate.zip", "7zz-deflate64.zip", "7zz-deflate64-fast.zip"};
  struct Way {
    size_t maxPiece, maxBlock;
  };
  const Way ways[] = {{1u << 30, 524288}, {262144, 524288}, {5000, 70000}, {40, 300}};
  for (const char* name : files) {
    const std::string n = name;
    const RawStream s = Extract(ReadBytes(dir / name), n.substr(n.size() - 4) == ".zip");
    EXPECT_EQ(s.crc, Crc32Update(0, sample.data(), sample.size())) << name;
    uint32_t seed = 1;
    for (const Way& way : ways) {
      const Bytes out = Decode(s, way.maxPiece, way.maxBlock, seed++);
      EXPECT_TRUE(out == sample) << name << " pieces up to " << way.maxPiece << ", blocks up to "
                                 << way.maxBlock;
    }
    // A byte in and a byte out per call: the mode machine and the window alone.
    if (n == "gzip6.gz" || n == "7zz-deflate64.zip") {
      EXPECT_TRUE(Decode(s, 1, 1, seed) == sample) << name;
    }
  }
}

}  // namespace
