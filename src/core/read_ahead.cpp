#include "core/read_ahead.h"

#include <cstring>
#include <new>

namespace {
uint32_t Buffered(const ReadAhead& r) { return r.end - r.begin; }
uint64_t LogicalOffset(const ReadAhead& r) { return r.endOffset - Buffered(r); }

bool Refill(ArchiveContext* context, ReadAhead& r) {
  uint32_t got = 0;
  if (!FileRead(context->archiveFile, r.data, kReadAheadSize, &got)) return false;
  r.begin = 0;
  r.end = got;
  r.endOffset += got;
  return true;
}
}  // namespace

ResultCode BeginReadAhead(ArchiveContext* context, uint64_t offset) {
  ReadAhead& r = context->readAhead;
  if (r.data == nullptr) r.data = new (std::nothrow) uint8_t[kReadAheadSize];
  if (r.data == nullptr) return Fail(context, kResultNoMemory);
  r.begin = r.end = 0;
  r.endOffset = offset;
  r.on = true;
  return kResultOk;
}

void EndReadAhead(ArchiveContext* context) {
  ReadAhead& r = context->readAhead;
  if (!r.on) return;
  r.on = false;
  if (Buffered(r) != 0) FileSeek(context->archiveFile, static_cast<int64_t>(LogicalOffset(r)), kSeekBegin, nullptr);
}

bool ArchiveRead(ArchiveContext* context, void* out, uint32_t count, uint32_t* got) {
  ReadAhead& r = context->readAhead;
  if (!r.on) return FileRead(context->archiveFile, out, count, got);
  auto* to = static_cast<uint8_t*>(out);
  *got = 0;
  while (*got < count) {
    if (Buffered(r) == 0) {
      const uint32_t left = count - *got;
      // A large read goes straight into the caller's buffer.
      if (left >= kReadAheadSize) {
        uint32_t direct = 0;
        if (!FileRead(context->archiveFile, to + *got, left, &direct)) return false;
        r.endOffset += direct;
        *got += direct;
        return true;
      }
      if (!Refill(context, r)) return false;
      if (Buffered(r) == 0) return true;  // the end of the file
    }
    const uint32_t n = count - *got < Buffered(r) ? count - *got : Buffered(r);
    std::memcpy(to + *got, r.data + r.begin, n);
    r.begin += n;
    *got += n;
  }
  return true;
}

bool ArchiveSkip(ArchiveContext* context, int64_t distance, uint64_t* position) {
  ReadAhead& r = context->readAhead;
  if (!r.on) return FileSeek(context->archiveFile, distance, kSeekCurrent, position);
  if (distance >= 0 && static_cast<uint64_t>(distance) <= Buffered(r)) {
    r.begin += static_cast<uint32_t>(distance);
  } else {
    const int64_t target = static_cast<int64_t>(LogicalOffset(r)) + distance;
    if (target < 0 || !FileSeek(context->archiveFile, target, kSeekBegin, nullptr)) return false;
    r.begin = r.end = 0;
    r.endOffset = static_cast<uint64_t>(target);
  }
  if (position != nullptr) *position = LogicalOffset(r);
  return true;
}
