#include "gz/gz_stream.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/little_endian.h"
#include "deflate/crc32.h"
#include "deflate/inflate.h"
#include "deflate/inflate_points.h"
#include "gz/gz.h"

namespace {
// ReadGzHeader reads its first kIoBufferSize bytes into the buffer it is given.
constexpr uint32_t kInputSize = kIoBufferSize;
// Skipped data are decoded into this; large, since each decoder call copies up to a window.
constexpr uint32_t kScratchSize = 524288;

enum class Phase { Header, Data, Trailer, Ended };

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
  InflatePoints points;
};

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
  // The viewer's stream shares the file with other reads between its pages.
  if (!FileSeek(g->file, static_cast<int64_t>(g->inputEndOffset), kSeekBegin, nullptr)) return false;
  while (g->inputEnd < want) {
    uint32_t got = 0;
    if (!FileRead(g->file, g->input + g->inputEnd, kInputSize - g->inputEnd, &got)) return false;
    if (got == 0) break;
    g->inputEnd += got;
    g->inputEndOffset += got;
  }
  return true;
}

// The member header at the input: read it, then decode its data with a fresh decoder.
bool StartMember(GzStream* g) {
  const uint64_t at = InputOffset(g);
  if (PointDue(g->points, g->output)) KeepPoint(&g->points, PointAt(g->output, at, g->output, true));
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
  } else if (!RenewInflateState(&g->inflate)) {
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
  // Stopping at every block costs a call each: only once a point is due.
  z.state->stopAtBlocks = PointDue(g->points, g->output) ? 1 : 0;
  z.input = g->input + g->inputBegin;
  z.inputLeft = g->inputEnd - g->inputBegin;
  z.output = out;
  z.outputLeft = room;
  const InflateResult r = Inflate(&z);
  g->inputBegin = static_cast<uint32_t>(z.input - g->input);
  *made = static_cast<uint32_t>(z.output - out);
  if (g->crcKnown) g->crc = Crc32Update(g->crc, out, *made);
  g->output += *made;
  if (r == kInflateBlockEnd && PointDue(g->points, g->output))
    KeepBlockPoint(&g->points, &z, kInflateWindowSize, PointAt(g->output, InputOffset(g), g->memberOutput, false));
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

bool ResumeAt(GzStream* g, const InflatePoint& p) {
  if (!SeekInput(g, p.input)) return false;
  g->output = p.output;
  g->memberOutput = p.memberOutput;
  g->failure = kResultOk;
  g->fromStart = p.output == 0;
  g->crcKnown = false;
  g->phase = p.atHeader ? Phase::Header : Phase::Data;
  if (p.atHeader) return true;
  if (!RenewInflateState(&g->inflate) || !ResumeAtPoint(&g->inflate, kInflateWindowSize, p))
    Stop(g, kResultNoMemory);
  return true;
}

bool SeekStream(GzStream* g, uint64_t offset) {
  const InflatePoint& p = PointBefore(g->points, offset);
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
  EndPoints(&g->points);
  delete[] g->input;
  delete[] g->scratch;
  delete g;
}

GzStream* Of(void* state) { return static_cast<GzStream*>(state); }
const GzStream* Of(const void* state) { return static_cast<const GzStream*>(state); }

bool SourceRead(void* state, uint8_t* out, uint32_t count, uint32_t* got) { return ReadStream(Of(state), out, count, got); }
bool SourceSeek(void* state, uint64_t offset) { return SeekStream(Of(state), offset); }
uint64_t SourceFileOffset(const void* state) { return InputOffset(Of(state)); }
ResultCode SourceFailure(const void* state) { return Of(state)->failure; }
void SourceClose(void* state) { CloseStream(Of(state)); }
}  // namespace

const ByteSourceOps kGzStreamOps = {SourceRead, SourceSeek, SourceFileOffset, SourceFailure, SourceClose};

void* NewGzStream(FileHandle file, uint64_t fileSize) {
  auto* g = new (std::nothrow) GzStream{};
  if (g == nullptr) return nullptr;
  g->file = file;
  g->fileSize = fileSize;
  g->input = new (std::nothrow) uint8_t[kInputSize];
  g->scratch = new (std::nothrow) uint8_t[kScratchSize];
  // The file's start: the first member's header.
  const bool ready = g->input != nullptr && g->scratch != nullptr &&
                     BeginPoints(&g->points, PointAt(0, 0, 0, true));
  if (!ready || !ResumeAt(g, g->points.points[0])) {
    CloseStream(g);
    return nullptr;
  }
  return g;
}

ResultCode OpenGzSource(ArchiveContext* context) {
  void* stream = NewGzStream(context->archiveFile, context->fileSize);
  if (stream == nullptr) return Fail(context, kResultNoMemory);
  CloseByteSource(&context->source);
  context->source = {&kGzStreamOps, stream};
  context->sourcePosition = 0;
  return kResultOk;
}

void CheckGzStreamCrc(void* stream, bool on) { Of(stream)->checkCrc = on; }

ResultCode CheckWholeGzStream(void* stream) {
  GzStream* g = Of(stream);
  while (g->phase != Phase::Ended) {
    uint32_t got = 0;
    if (!ReadStream(g, g->scratch, kScratchSize, &got)) return kResultRead;
  }
  if (g->failure != kResultOk) return g->failure;
  // Resumed somewhere on the way, or without the CRC: the trailers vouch for nothing.
  return g->fromStart ? kResultOk : kResultChecksum;
}

uint32_t GzStreamPointCount(const void* stream) { return Of(stream)->points.count; }
