#include "gz/gz_stream.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/little_endian.h"
#include "deflate/crc32.h"
#include "deflate/inflate.h"
#include "gz/gz.h"

namespace {
// ReadGzHeader reads its first kIoBufferSize bytes into the buffer it is given.
constexpr uint32_t kInputSize = kIoBufferSize;
constexpr uint32_t kScratchSize = 65536;

enum class Phase { Header, Data, Trailer, Ended };

// Where decoding can start again: at a member's header, or at a block boundary with the
// bits held there and the output's last bytes.
struct GzPoint {
  uint64_t output;        // offset in the decoded stream
  uint64_t input;         // file offset of the next byte behind the bits held, or of the header
  uint64_t bits;
  uint64_t memberOutput;  // where the point's gzip member began in the decoded stream
  uint32_t bitCount;
  uint32_t historyLength;
  uint8_t* history;
  bool atHeader;
};

struct GzStream {
  FileHandle file;
  uint64_t fileSize;
  InflateStream inflate;
  uint8_t* input;
  uint32_t inputBegin;
  uint32_t inputEnd;
  uint64_t inputEndOffset;  // the file offset of input[inputEnd], which is the file's position
  uint8_t* scratch;
  uint64_t output;          // the decoded offset of the next byte handed out
  uint64_t memberOutput;
  uint32_t crc;
  bool checkCrc;            // wanted by the reader: a listing does without
  bool crcKnown;            // this member was decoded from its start with its CRC
  bool fromStart;           // so was the whole stream: its trailers vouch for it
  Phase phase;
  ResultCode failure;
  GzPoint* points;
  uint32_t pointCount;
  uint32_t pointCapacity;
};

GzStream* StreamOf(const ArchiveContext* context) { return static_cast<GzStream*>(context->sourceState); }

uint64_t InputOffset(const GzStream* g) { return g->inputEndOffset - (g->inputEnd - g->inputBegin); }

void Stop(GzStream* g, ResultCode failure) {
  g->failure = failure;
  g->phase = Phase::Ended;
}

bool SeekInput(GzStream* g, uint64_t offset) {
  g->inputBegin = g->inputEnd = 0;
  g->inputEndOffset = offset;
  return FileSeek(g->file, static_cast<int64_t>(offset), kSeekBegin, nullptr);
}

// At least want bytes buffered unless the file ends first; keeps the unread ones.
bool FillInput(GzStream* g, uint32_t want) {
  uint32_t held = g->inputEnd - g->inputBegin;
  if (held >= want) return true;
  std::memmove(g->input, g->input + g->inputBegin, held);
  g->inputBegin = 0;
  g->inputEnd = held;
  while (g->inputEnd < want) {
    uint32_t got = 0;
    if (!FileRead(g->file, g->input + g->inputEnd, kInputSize - g->inputEnd, &got)) return false;
    if (got == 0) break;
    g->inputEnd += got;
    g->inputEndOffset += got;
  }
  return true;
}

bool NewDecoder(GzStream* g) {
  std::free(g->inflate.state);
  g->inflate.state = NewInflateState();
  if (g->inflate.state == nullptr) return false;
  g->inflate.state->stopAtBlocks = 1;
  g->inflate.state->boundaryReported = 1;  // no point in front of the first block
  return true;
}

bool PointDue(const GzStream* g) {
  return g->output >= g->points[g->pointCount - 1].output + kGzPointSpacing;
}

// Appends a point; a point that cannot be kept is only a slower seek later.
void KeepPoint(GzStream* g, const GzPoint& point) {
  if (g->pointCount == g->pointCapacity) {
    const uint32_t capacity = g->pointCapacity * 2;
    auto* grown = static_cast<GzPoint*>(std::realloc(g->points, sizeof(GzPoint) * capacity));
    if (grown == nullptr) {
      std::free(point.history);
      return;
    }
    g->points = grown;
    g->pointCapacity = capacity;
  }
  g->points[g->pointCount++] = point;
}

void TakeBlockPoint(GzStream* g) {
  const InflateState* s = g->inflate.state;
  GzPoint p{g->output, InputOffset(g), s->bitBuffer, g->memberOutput, s->bitCount, 0, nullptr, false};
  p.history = static_cast<uint8_t*>(std::malloc(kInflateWindowSize));
  if (p.history == nullptr) return;
  p.historyLength = CopyInflateHistory(&g->inflate, kInflateWindowSize, p.history);
  KeepPoint(g, p);
}

// The member header at the input: read it, then decode its data with a fresh decoder.
bool StartMember(GzStream* g) {
  const uint64_t at = InputOffset(g);
  if (PointDue(g)) KeepPoint(g, GzPoint{g->output, at, 0, g->output, 0, 0, nullptr, true});
  if (!FileSeek(g->file, static_cast<int64_t>(at), kSeekBegin, nullptr)) return false;
  GzHeader header;
  EntryRecord entry{};
  ResultCode r = ReadGzHeader(g->file, &header, &entry, g->input, g->fileSize);
  if (r == kResultRead) return false;
  if (!SeekInput(g, r == kResultOk ? header.dataOffset : at)) return false;
  if (r != kResultOk) {
    Stop(g, r == kResultNotArchive ? kResultFormat : r);
  } else if (header.compressionMethod != kGzMethodDeflate) {
    Stop(g, kResultUnsupportedMethod);
  } else if (!NewDecoder(g)) {
    Stop(g, kResultNoMemory);
  } else {
    g->memberOutput = g->output;
    g->crc = 0;
    g->crcKnown = g->checkCrc;
    if (!g->checkCrc) g->fromStart = false;  // the trailers vouch for nothing then
    g->phase = Phase::Data;
  }
  return true;
}

// Behind a trailer: another member, or the end (nothing, or zero padding as tapes and dd
// leave), or bytes that are neither, which is damage.
bool LookBehind(GzStream* g) {
  if (!FillInput(g, 2)) return false;
  const uint32_t held = g->inputEnd - g->inputBegin;
  if (held >= 2 && Le16(g->input + g->inputBegin) == kGzMagic) {
    g->phase = Phase::Header;
    return true;
  }
  while (g->inputEnd > g->inputBegin) {
    for (uint32_t i = g->inputBegin; i < g->inputEnd; ++i) {
      if (g->input[i] != 0) {
        Stop(g, kResultFormat);
        return true;
      }
    }
    g->inputBegin = g->inputEnd;
    if (!FillInput(g, 1)) return false;
  }
  Stop(g, kResultOk);
  return true;
}

bool FinishMember(GzStream* g) {
  if (!FillInput(g, kGzTrailerSize)) return false;
  if (g->inputEnd - g->inputBegin < kGzTrailerSize) {
    Stop(g, kResultUnexpectedEnd);
    return true;
  }
  const uint8_t* trailer = g->input + g->inputBegin;
  g->inputBegin += kGzTrailerSize;
  // Resumed inside the member, the CRC of its start is unknown; its length is not.
  const bool lengthMatches = Le32(trailer + 4) == static_cast<uint32_t>(g->output - g->memberOutput);
  if (!lengthMatches || (g->crcKnown && Le32(trailer) != g->crc)) {
    Stop(g, kResultChecksum);
    return true;
  }
  return LookBehind(g);
}

// Decodes into out up to room bytes, stopping at a block boundary, the member's end or damage.
bool DecodeData(GzStream* g, uint8_t* out, uint32_t room, uint32_t* made) {
  *made = 0;
  if (g->inputBegin == g->inputEnd) {
    if (!FillInput(g, 1)) return false;
    if (g->inputBegin == g->inputEnd) {
      Stop(g, kResultUnexpectedEnd);
      return true;
    }
  }
  InflateStream& z = g->inflate;
  z.input = g->input + g->inputBegin;
  z.inputLeft = g->inputEnd - g->inputBegin;
  z.output = out;
  z.outputLeft = room;
  const InflateResult r = Inflate(&z);
  g->inputBegin = static_cast<uint32_t>(z.input - g->input);
  *made = static_cast<uint32_t>(z.output - out);
  if (g->crcKnown) g->crc = Crc32Update(g->crc, out, *made);
  g->output += *made;
  if (r == kInflateBlockEnd && PointDue(g)) TakeBlockPoint(g);
  if (r == kInflateDone) g->phase = Phase::Trailer;
  if (r == kInflateBadData) Stop(g, kResultFormat);
  if (r == kInflateNoMemory) Stop(g, kResultNoMemory);
  return true;
}

// Reads up to count decoded bytes; false only when the file cannot be read.
bool ReadStream(GzStream* g, uint8_t* out, uint32_t count, uint32_t* got) {
  *got = 0;
  while (*got < count && g->phase != Phase::Ended) {
    bool ok = true;
    if (g->phase == Phase::Header) {
      ok = StartMember(g);
    } else if (g->phase == Phase::Trailer) {
      ok = FinishMember(g);
    } else {
      uint32_t made = 0;
      ok = DecodeData(g, out + *got, count - *got, &made);
      *got += made;
    }
    if (!ok) return false;
  }
  return true;
}

void EndPoints(GzStream* g) {
  for (uint32_t i = 0; i < g->pointCount; ++i) std::free(g->points[i].history);
  std::free(g->points);
}

bool ResumeAt(GzStream* g, const GzPoint& p) {
  if (!SeekInput(g, p.input)) return false;
  g->output = p.output;
  g->memberOutput = p.memberOutput;
  g->failure = kResultOk;
  g->fromStart = p.output == 0;
  g->crcKnown = false;
  g->phase = p.atHeader ? Phase::Header : Phase::Data;
  if (p.atHeader) return true;
  if (!NewDecoder(g) || !ResumeInflate(&g->inflate, kInflateWindowSize, p.bits, p.bitCount, p.history, p.historyLength))
    Stop(g, kResultNoMemory);
  return true;
}

// The last point at or before offset.
const GzPoint& PointBefore(const GzStream* g, uint64_t offset) {
  uint32_t low = 0, high = g->pointCount;  // points[low].output <= offset < points[high].output
  while (high - low > 1) {
    const uint32_t middle = low + (high - low) / 2;
    if (g->points[middle].output <= offset) low = middle;
    else high = middle;
  }
  return g->points[low];
}

bool SeekStream(GzStream* g, uint64_t offset) {
  const GzPoint& p = PointBefore(g, offset);
  // Going back, or far enough ahead that a point lies between: start from the point.
  if (offset < g->output || p.output > g->output) {
    if (!ResumeAt(g, p)) return false;
  }
  while (g->output < offset && g->phase != Phase::Ended) {
    const uint64_t left = offset - g->output;
    uint32_t got = 0;
    if (!ReadStream(g, g->scratch, left < kScratchSize ? static_cast<uint32_t>(left) : kScratchSize, &got))
      return false;
  }
  return true;
}

void CloseStream(GzStream* g) {
  EndInflateStream(&g->inflate);
  EndPoints(g);
  delete[] g->input;
  delete[] g->scratch;
  delete g;
}

bool SourceRead(ArchiveContext* context, uint8_t* out, uint32_t count, uint32_t* got) {
  return ReadStream(StreamOf(context), out, count, got);
}

bool SourceSeek(ArchiveContext* context, uint64_t offset) { return SeekStream(StreamOf(context), offset); }

uint64_t SourceFileOffset(const ArchiveContext* context) { return InputOffset(StreamOf(context)); }

void SourceClose(ArchiveContext* context) { CloseStream(StreamOf(context)); }

constexpr ByteSourceOps kGzSourceOps = {SourceRead, SourceSeek, SourceFileOffset, SourceClose};
}  // namespace

ResultCode OpenGzSource(ArchiveContext* context) {
  auto* g = new (std::nothrow) GzStream{};
  if (g == nullptr) return Fail(context, kResultNoMemory);
  g->file = context->archiveFile;
  g->fileSize = context->fileSize;
  g->input = new (std::nothrow) uint8_t[kInputSize];
  g->scratch = new (std::nothrow) uint8_t[kScratchSize];
  g->pointCapacity = 16;
  g->points = static_cast<GzPoint*>(std::malloc(sizeof(GzPoint) * g->pointCapacity));
  if (g->input == nullptr || g->scratch == nullptr || g->points == nullptr) {
    CloseStream(g);
    return Fail(context, kResultNoMemory);
  }
  // The file's start: the first member's header.
  g->points[g->pointCount++] = GzPoint{0, 0, 0, 0, 0, 0, nullptr, true};
  if (context->source != nullptr) context->source->close(context);
  context->source = &kGzSourceOps;
  context->sourceState = g;
  context->sourcePosition = 0;
  if (!ResumeAt(g, g->points[0])) return Fail(context, kResultRead);
  return kResultOk;
}

ResultCode GzSourceFailure(const ArchiveContext* context) { return StreamOf(context)->failure; }

ResultCode CheckWholeGzSource(ArchiveContext* context) {
  GzStream* g = StreamOf(context);
  while (g->phase != Phase::Ended) {
    uint32_t got = 0;
    if (!ReadStream(g, g->scratch, kScratchSize, &got)) return Fail(context, kResultRead);
  }
  context->sourcePosition = g->output;
  if (g->failure != kResultOk) return Fail(context, g->failure);
  // Resumed somewhere on the way: the CRC of the stretch before was never seen.
  if (!g->fromStart) return Fail(context, kResultChecksum);
  return kResultOk;
}

void CheckGzSourceCrc(ArchiveContext* context, bool on) { StreamOf(context)->checkCrc = on; }

uint32_t GzSourcePointCount(const ArchiveContext* context) { return StreamOf(context)->pointCount; }
