// Resumption points of a Deflate stream decoded forward: at a block boundary, the bits held
// and the last window of output are all a fresh decoder needs to go on from there
// (ResumeInflate). The framing around the data (gzip members, a ZIP member's range, its
// decryption) belongs to the stream that keeps the points.
#pragma once

#include <cstdint>

#include "deflate/inflate.h"

inline constexpr uint64_t kInflatePointSpacing = uint64_t{4} << 20;

struct InflatePoint {
  uint64_t output;        // offset in the decoded stream
  uint64_t input;         // file offset of the next byte behind the bits held, or of a header
  uint64_t bits;
  uint64_t memberOutput;  // where the point's member began in the decoded stream (gzip)
  uint32_t bitCount;
  uint32_t historyLength;  // the window's bytes before the point
  uint32_t packedLength;   // the history's bytes as kept: Deflate when below historyLength
  uint8_t* history;
  uint32_t keys[3];       // the decryption keys at input, for a stream that has them
  bool atHeader;          // input is a header to read before any data (gzip)
};

// A point with no bits and no history yet: a header point, or one KeepBlockPoint fills.
inline InflatePoint PointAt(uint64_t output, uint64_t input, uint64_t memberOutput, bool atHeader) {
  InflatePoint p{};
  p.output = output;
  p.input = input;
  p.memberOutput = memberOutput;
  p.atHeader = atHeader;
  return p;
}

// Ordered by output; the first is the stream's start.
struct InflatePoints {
  InflatePoint* points;
  uint32_t count;
  uint32_t capacity;
};

// Room for points, with `first` as the first; false when memory is short.
bool BeginPoints(InflatePoints* list, const InflatePoint& first);
void EndPoints(InflatePoints* list);
// Whether output has gone a spacing past the last point.
bool PointDue(const InflatePoints& list, uint64_t output);
// Appends the point (taking its history); one that cannot be kept only makes a later seek
// slower.
void KeepPoint(InflatePoints* list, const InflatePoint& point);
// Appends a point at the block boundary where the stream stands, with its window's bytes,
// compressed when that makes them smaller (text windows take a third or less).
void KeepBlockPoint(InflatePoints* list, const InflateStream* stream, uint32_t windowSize, InflatePoint point);
// The last point at or before output.
const InflatePoint& PointBefore(const InflatePoints& list, uint64_t output);
// Gives the stream a fresh state (freeing the old one) that makes no stop in front of its
// first block; false when memory is short.
bool RenewInflateState(InflateStream* stream);
// Puts a stream (whose state is fresh) at a block point; false when memory is short or the
// kept history does not decode.
bool ResumeAtPoint(InflateStream* stream, uint32_t windowSize, const InflatePoint& point);
