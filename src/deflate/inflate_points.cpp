#include "deflate/inflate_points.h"

#include <cstdlib>
#include <cstring>

#include "deflate/deflate_encode.h"

namespace {
// The window's bytes, deflated when that is smaller; kept as they are otherwise.
uint8_t* PackHistory(const uint8_t* history, uint32_t length, uint32_t* packedLength) {
  *packedLength = length;
  const size_t bound = DeflateBound(length);
  auto* packed = static_cast<uint8_t*>(std::malloc(bound));
  size_t written = 0;
  if (packed != nullptr && DeflateBuffer(kDeflateFast, history, length, packed, bound, &written) == kDeflateDone &&
      written < length) {
    *packedLength = static_cast<uint32_t>(written);
    auto* fitted = static_cast<uint8_t*>(std::realloc(packed, written));
    return fitted != nullptr ? fitted : packed;
  }
  std::free(packed);
  auto* copy = static_cast<uint8_t*>(std::malloc(length));
  if (copy != nullptr) std::memcpy(copy, history, length);
  return copy;
}

// The history of a point into out (historyLength bytes).
bool UnpackHistory(const InflatePoint& point, uint8_t* out) {
  if (point.packedLength == point.historyLength) {
    std::memcpy(out, point.history, point.historyLength);
    return true;
  }
  InflateStream stream{point.history, point.packedLength, out, point.historyLength, NewInflateState(), nullptr};
  const bool done = stream.state != nullptr && Inflate(&stream) == kInflateDone && stream.outputLeft == 0;
  EndInflateStream(&stream);
  return done;
}
}  // namespace

bool BeginPoints(InflatePoints* list, const InflatePoint& first) {
  list->capacity = 16;
  list->count = 0;
  list->points = static_cast<InflatePoint*>(std::malloc(sizeof(InflatePoint) * list->capacity));
  if (list->points == nullptr) return false;
  list->points[list->count++] = first;
  return true;
}

void EndPoints(InflatePoints* list) {
  for (uint32_t i = 0; i < list->count; ++i) std::free(list->points[i].history);
  std::free(list->points);
  *list = {};
}

bool PointDue(const InflatePoints& list, uint64_t output) {
  return output >= list.points[list.count - 1].output + kInflatePointSpacing;
}

void KeepPoint(InflatePoints* list, const InflatePoint& point) {
  if (list->count == list->capacity) {
    const uint32_t capacity = list->capacity * 2;
    auto* grown = static_cast<InflatePoint*>(std::realloc(list->points, sizeof(InflatePoint) * capacity));
    if (grown == nullptr) {
      std::free(point.history);
      return;
    }
    list->points = grown;
    list->capacity = capacity;
  }
  list->points[list->count++] = point;
}

void KeepBlockPoint(InflatePoints* list, const InflateStream* stream, uint32_t windowSize, InflatePoint point) {
  point.bits = stream->state->bitBuffer;
  point.bitCount = stream->state->bitCount;
  point.atHeader = false;
  auto* window = static_cast<uint8_t*>(std::malloc(windowSize));
  if (window == nullptr) return;
  point.historyLength = CopyInflateHistory(stream, windowSize, window);
  point.history = PackHistory(window, point.historyLength, &point.packedLength);
  std::free(window);
  if (point.history != nullptr) KeepPoint(list, point);
}

const InflatePoint& PointBefore(const InflatePoints& list, uint64_t output) {
  uint32_t low = 0, high = list.count;  // points[low].output <= output < points[high].output
  while (high - low > 1) {
    const uint32_t middle = low + (high - low) / 2;
    if (list.points[middle].output <= output) low = middle;
    else high = middle;
  }
  return list.points[low];
}

bool RenewInflateState(InflateStream* stream) {
  std::free(stream->state);
  stream->state = NewInflateState();
  if (stream->state == nullptr) return false;
  stream->state->boundaryReported = 1;
  return true;
}

bool ResumeAtPoint(InflateStream* stream, uint32_t windowSize, const InflatePoint& point) {
  auto* window = static_cast<uint8_t*>(std::malloc(windowSize));
  const bool ready = window != nullptr && point.historyLength <= windowSize && UnpackHistory(point, window) &&
                     ResumeInflate(stream, windowSize, point.bits, point.bitCount, window, point.historyLength);
  std::free(window);
  return ready;
}
