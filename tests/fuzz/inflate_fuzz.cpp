// Deflate and Deflate64 on arbitrary input: decoded in one call and again in random pieces
// with random output blocks (each its own exact-size allocation, so any overrun faults);
// both ways must agree. Input: 1 byte (bit 0: Deflate64), 4 bytes of seed, the stream.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "deflate/inflate.h"

namespace {

constexpr size_t kOutputCap = 1 << 20;  // streams may expand a thousandfold; stop there

struct Outcome { InflateResult result; std::vector<uint8_t> output; };

Outcome Whole(InflateFunction decoder, const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> in(new uint8_t[size]), out(new uint8_t[kOutputCap]);
  std::memcpy(in.get(), data, size);
  InflateStream s{in.get(), static_cast<uint32_t>(size), out.get(), kOutputCap, NewInflateState(), nullptr};
  InflateResult r = decoder(&s);
  const size_t made = kOutputCap - s.outputLeft;
  if (r == kInflateProgress && s.outputLeft > 0) {
    r = decoder(&s);  // input used up: a further call must say it cannot go on
    if (r != kInflateNoProgress) std::abort();
  }
  EndInflateStream(&s);
  return {r, std::vector<uint8_t>(out.get(), out.get() + made)};
}

Outcome Pieces(InflateFunction decoder, const uint8_t* data, size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  InflateStream s{};
  s.state = NewInflateState();
  Outcome o{kInflateProgress, {}};
  std::unique_ptr<uint8_t[]> piece;
  size_t at = 0;
  while (o.result == kInflateProgress && o.output.size() < kOutputCap) {
    if (s.inputLeft == 0 && at < size) {
      const size_t n = std::min<size_t>(1 + random() % 97, size - at);
      piece.reset(new uint8_t[n]);
      std::memcpy(piece.get(), data + at, n);
      s.input = piece.get();
      s.inputLeft = static_cast<uint32_t>(n);
      at += n;
    }
    const uint32_t room = random() % 2 ? 1 + random() % 300 : 1 + random() % 70000;
    std::unique_ptr<uint8_t[]> out(new uint8_t[room]);
    s.output = out.get();
    s.outputLeft = room;
    const bool hadInput = s.inputLeft > 0;
    o.result = decoder(&s);
    if (o.result == kInflateNoProgress && hadInput) std::abort();
    o.output.insert(o.output.end(), out.get(), out.get() + (room - s.outputLeft));
  }
  EndInflateStream(&s);
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const InflateFunction decoder = data[0] & 1 ? Inflate64 : Inflate;
  uint32_t seed;
  std::memcpy(&seed, data + 1, 4);
  const Outcome whole = Whole(decoder, data + 5, size - 5);
  const Outcome pieces = Pieces(decoder, data + 5, size - 5, seed);
  const size_t common = std::min(whole.output.size(), pieces.output.size());
  // An empty vector's data() may be null, which memcmp must not be given even for 0 bytes.
  if (common != 0 && std::memcmp(whole.output.data(), pieces.output.data(), common) != 0) std::abort();
  const bool capped = whole.output.size() >= kOutputCap || pieces.output.size() >= kOutputCap;
  if (!capped && (whole.result != pieces.result || whole.output.size() != pieces.output.size()))
    std::abort();
  return 0;
}
