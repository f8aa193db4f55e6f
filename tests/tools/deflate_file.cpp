// deflate_file LEVEL INPUT [OUTPUT]: encodes a file to raw Deflate at fast, normal or best,
// to OUTPUT or to standard output, through the streaming call in 1 MiB pieces. For the
// benchmark and for checks against other decoders.
#include <cstdio>
#include <cstring>
#include <vector>

#include "deflate/deflate_encode.h"

int main(int argc, char** argv) {
  constexpr size_t kPiece = size_t{1} << 20;
  const char* const names[kDeflateLevelCount] = {"fast", "normal", "best"};
  uint32_t level = 0;
  while (argc >= 3 && level < kDeflateLevelCount && std::strcmp(argv[1], names[level]) != 0) level++;
  if (argc < 3 || argc > 4 || level == kDeflateLevelCount) {
    std::fprintf(stderr, "usage: deflate_file fast|normal|best INPUT [OUTPUT]\n");
    return 2;
  }
  FILE* in = std::fopen(argv[2], "rb");
  FILE* out = argc == 4 ? std::fopen(argv[3], "wb") : stdout;
  if (!in || !out) {
    std::fprintf(stderr, "deflate_file: cannot open %s\n", !in ? argv[2] : argv[3]);
    return 1;
  }
  std::vector<uint8_t> input(kPiece), output(kPiece);
  DeflateStream stream{};
  stream.state = NewDeflateState(static_cast<DeflateLevel>(level));
  bool last = false;
  for (DeflateResult result = kDeflateProgress; stream.state && result != kDeflateDone;) {
    if (stream.inputLeft == 0 && !last) {
      const size_t n = std::fread(input.data(), 1, kPiece, in);
      last = n < kPiece;
      stream.input = input.data();
      stream.inputLeft = static_cast<uint32_t>(n);
    }
    stream.output = output.data();
    stream.outputLeft = static_cast<uint32_t>(kPiece);
    result = Deflate(&stream, last);
    const size_t made = kPiece - stream.outputLeft;
    if (std::fwrite(output.data(), 1, made, out) != made) return 1;
    if (result < 0 && result != kDeflateNoProgress) {
      std::fprintf(stderr, "deflate_file: result %d\n", result);
      return 1;
    }
  }
  if (!stream.state) return 1;
  EndDeflateStream(&stream);
  return std::ferror(in) || std::fclose(out) != 0 ? 1 : 0;
}
