#include "core/read_ahead.h"

#include <cstring>
#include <new>

namespace {
uint32_t Buffered(const ReadAhead& r) { return r.end - r.begin; }
uint64_t LogicalOffset(const ReadAhead& r) { return r.endOffset - Buffered(r); }

// The archive's bytes at the current position: from the file or from the source over it.
bool ReadBelow(ArchiveContext* context, uint8_t* out, uint32_t count, uint32_t* got) {
  const ByteSource& s = context->source;
  if (s.ops == nullptr) return FileRead(context->archiveFile, out, count, got);
  if (!s.ops->read(s.state, out, count, got)) return false;
  context->sourcePosition += *got;
  return true;
}

bool SeekBelow(ArchiveContext* context, uint64_t offset) {
  const ByteSource& s = context->source;
  if (s.ops == nullptr) return FileSeek(context->archiveFile, static_cast<int64_t>(offset), kSeekBegin, nullptr);
  if (!s.ops->seek(s.state, offset)) return false;
  context->sourcePosition = offset;
  return true;
}

bool Refill(ArchiveContext* context, ReadAhead& r) {
  uint32_t got = 0;
  if (!ReadBelow(context, r.data, r.size, &got)) return false;
  r.begin = 0;
  r.end = got;
  r.endOffset += got;
  return true;
}

void Restart(ReadAhead& r, uint64_t offset) {
  r.begin = r.end = 0;
  r.endOffset = offset;
}
}  // namespace

ResultCode BeginReadAhead(ArchiveContext* context, uint64_t offset) {
  ReadAhead& r = context->readAhead;
  const uint32_t size = context->source.ops != nullptr ? kSourceReadAheadSize : kReadAheadSize;
  if (r.data != nullptr && r.size != size) {
    delete[] r.data;
    r.data = nullptr;
  }
  if (r.data == nullptr) r.data = new (std::nothrow) uint8_t[size];
  if (r.data == nullptr) return Fail(context, kResultNoMemory);
  r.size = size;
  Restart(r, offset);
  r.on = true;
  return kResultOk;
}

void EndReadAhead(ArchiveContext* context) {
  ReadAhead& r = context->readAhead;
  if (!r.on) return;
  r.on = false;
  // A source is not moved back: going back in a compressed stream costs a decode, and
  // whoever reads it next puts it where they need it (ArchiveSeek).
  if (Buffered(r) != 0 && context->source.ops == nullptr) SeekBelow(context, LogicalOffset(r));
}

bool ArchiveRead(ArchiveContext* context, void* out, uint32_t count, uint32_t* got) {
  ReadAhead& r = context->readAhead;
  if (!r.on) return ReadBelow(context, static_cast<uint8_t*>(out), count, got);
  auto* to = static_cast<uint8_t*>(out);
  *got = 0;
  while (*got < count) {
    if (Buffered(r) == 0) {
      const uint32_t left = count - *got;
      // A large read goes straight into the caller's buffer.
      if (left >= r.size) {
        uint32_t direct = 0;
        if (!ReadBelow(context, to + *got, left, &direct)) return false;
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
  if (!r.on) {
    if (context->source.ops == nullptr) return FileSeek(context->archiveFile, distance, kSeekCurrent, position);
    const int64_t target = static_cast<int64_t>(context->sourcePosition) + distance;
    if (target < 0 || !SeekBelow(context, static_cast<uint64_t>(target))) return false;
    if (position != nullptr) *position = context->sourcePosition;
    return true;
  }
  if (distance >= 0 && static_cast<uint64_t>(distance) <= Buffered(r)) {
    r.begin += static_cast<uint32_t>(distance);
  } else {
    const int64_t target = static_cast<int64_t>(LogicalOffset(r)) + distance;
    if (target < 0 || !SeekBelow(context, static_cast<uint64_t>(target))) return false;
    Restart(r, static_cast<uint64_t>(target));
  }
  if (position != nullptr) *position = LogicalOffset(r);
  return true;
}

bool ArchiveSeek(ArchiveContext* context, uint64_t offset) {
  ReadAhead& r = context->readAhead;
  if (r.on && offset >= LogicalOffset(r) && offset - LogicalOffset(r) <= Buffered(r)) {
    r.begin += static_cast<uint32_t>(offset - LogicalOffset(r));
    return true;
  }
  if (!SeekBelow(context, offset)) return false;
  if (r.on) Restart(r, offset);
  return true;
}
