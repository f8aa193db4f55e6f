// The encoder on arbitrary data: whole, and again with input and output offered in random
// pieces, it must make the same stream, and our decoder must give the data back; so must
// the data cut into pieces encoded apart (DeflatePiece) and joined.
// Input: 1 byte (the level, modulo the level count; the high bits choose how the data
// are repeated so that long matches occur), 4 bytes of seed, the data.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "deflate/deflate_encode.h"
#include "deflate/inflate.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Whole(DeflateLevel level, const Bytes& data) {
  Bytes out(DeflateBound(data.size()));
  size_t written = 0;
  if (DeflateBuffer(level, data.data(), data.size(), out.data(), out.size(), &written) != kDeflateDone) std::abort();
  out.resize(written);
  return out;
}

// Each piece of input and output its own exact-size allocation, so that any overrun faults.
Bytes Pieces(DeflateLevel level, const Bytes& data, uint32_t seed) {
  std::mt19937 random(seed);
  DeflateStream s{};
  s.state = NewDeflateState(level);
  if (s.state == nullptr) std::abort();
  Bytes stream;
  std::unique_ptr<uint8_t[]> piece;
  size_t at = 0;
  for (DeflateResult r = kDeflateProgress; r != kDeflateDone;) {
    if (s.inputLeft == 0 && at < data.size()) {
      const size_t n = std::min<size_t>(1 + random() % 5000, data.size() - at);
      piece.reset(new uint8_t[n]);
      std::memcpy(piece.get(), data.data() + at, n);
      s.input = piece.get();
      s.inputLeft = static_cast<uint32_t>(n);
      at += n;
    }
    const uint32_t room = random() % 2 ? 1 + random() % 64 : 1 + random() % 70000;
    std::unique_ptr<uint8_t[]> out(new uint8_t[room]);
    s.output = out.get();
    s.outputLeft = room;
    r = Deflate(&s, at == data.size());
    if (r < 0) std::abort();
    stream.insert(stream.end(), out.get(), out.get() + (room - s.outputLeft));
  }
  EndDeflateStream(&s);
  return stream;
}

// Pieces of a random size encoded apart, each with its history, its input and its output in
// exact-size allocations of their own, so that reading outside them faults.
Bytes Apart(DeflateLevel level, const Bytes& data, uint32_t seed) {
  std::mt19937 random(seed);
  const size_t size = 1 + random() % 40000;
  Bytes stream;
  size_t at = 0;
  do {
    const size_t n = std::min(size, data.size() - at), h = std::min<size_t>(at, kDeflateHistoryBytes);
    std::unique_ptr<uint8_t[]> history(new uint8_t[h]), input(new uint8_t[n]);
    if (h != 0) std::memcpy(history.get(), data.data() + at - h, h);
    if (n != 0) std::memcpy(input.get(), data.data() + at, n);
    const size_t room = DeflatePieceBound(n);
    std::unique_ptr<uint8_t[]> out(new uint8_t[room]);
    uint32_t written = 0;
    if (DeflatePiece(level, history.get(), static_cast<uint32_t>(h), input.get(), static_cast<uint32_t>(n),
                     at + n == data.size(), out.get(), static_cast<uint32_t>(room), &written) != kDeflateDone)
      std::abort();
    stream.insert(stream.end(), out.get(), out.get() + written);
    at += n;
  } while (at < data.size());
  return stream;
}

Bytes Inflated(const Bytes& stream, size_t expected) {
  Bytes in = stream, out(expected + 1);
  InflateStream s{in.data(), static_cast<uint32_t>(in.size()), out.data(), static_cast<uint32_t>(out.size()),
                  NewInflateState(), nullptr};
  const InflateResult r = Inflate(&s);
  EndInflateStream(&s);
  if (r != kInflateDone || s.inputLeft != 0) std::abort();
  out.resize(out.size() - s.outputLeft);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const DeflateLevel level = static_cast<DeflateLevel>(data[0] % kDeflateLevelCount);
  uint32_t seed = 0;
  std::memcpy(&seed, data + 1, 4);
  // Repeats of the input reach long matches, far distances and block ends; the best level,
  // the slowest by far, gets less so that a run still tries many inputs.
  const size_t cap = level == kDeflateBest ? (16u << 10) : (64u << 10);
  Bytes input(data + 5, data + std::min(size, cap + 5));
  for (uint32_t copies = data[0] / kDeflateLevelCount; copies > 0 && input.size() < cap; --copies)
    input.insert(input.end(), data + 5, data + std::min(size, cap + 5));
  const Bytes whole = Whole(level, input);
  if (Pieces(level, input, seed) != whole) std::abort();
  if (Inflated(whole, input.size()) != input) std::abort();
  if (Inflated(Apart(level, input, seed), input.size()) != input) std::abort();
  return 0;
}
