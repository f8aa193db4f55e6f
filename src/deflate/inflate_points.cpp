#include "deflate/inflate_points.h"

#include <cstdlib>

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
  point.history = static_cast<uint8_t*>(std::malloc(windowSize));
  if (point.history == nullptr) return;
  point.historyLength = CopyInflateHistory(stream, windowSize, point.history);
  KeepPoint(list, point);
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

bool ResumeAtPoint(InflateStream* stream, uint32_t windowSize, const InflatePoint& point) {
  return ResumeInflate(stream, windowSize, point.bits, point.bitCount, point.history, point.historyLength);
}
