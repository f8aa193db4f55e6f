#include "zip/zip_member_stream.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "deflate/inflate_points.h"
#include "zip/zip_crypto.h"
#include "zip/zip_header.h"

namespace {
constexpr uint32_t kInputSize = 262144;
constexpr uint32_t kScratchSize = 65536;

struct ZipStream {
  FileHandle file;
  uint64_t dataEnd;         // behind the member's stored data
  InflateFunction decoder;  // null: stored as is
  uint32_t windowSize;
  bool encrypted;
  uint32_t keys[3];         // at the input buffer's end: everything read is decrypted
  uint32_t bufferKeys[3];   // at the input buffer's start
  InflateStream inflate;
  uint8_t* input;
  uint32_t inputBegin;
  uint32_t inputEnd;
  uint64_t inputEndOffset;
  uint8_t* scratch;
  uint64_t output;
  bool ended;
  InflatePoints points;
};

ZipStream* Of(void* state) { return static_cast<ZipStream*>(state); }
const ZipStream* Of(const void* state) { return static_cast<const ZipStream*>(state); }

uint64_t InputOffset(const ZipStream* z) { return z->inputEndOffset - (z->inputEnd - z->inputBegin); }

// The keys at the next unread input byte: those of the buffer's start moved over the plain
// bytes already taken.
void KeysAtInput(const ZipStream* z, uint32_t keys[3]) {
  std::memcpy(keys, z->bufferKeys, sizeof z->bufferKeys);
  if (!z->encrypted) return;
  for (uint32_t i = 0; i < z->inputBegin; ++i) ZipCryptoUpdateKeys(keys, z->input[i]);
}

InflatePoint PointHere(const ZipStream* z) {
  InflatePoint p = PointAt(z->output, InputOffset(z), 0, false);
  KeysAtInput(z, p.keys);
  return p;
}

// Refills the empty buffer from the member's data, decrypting it.
bool Refill(ZipStream* z) {
  std::memcpy(z->bufferKeys, z->keys, sizeof z->keys);
  z->inputBegin = z->inputEnd = 0;
  const uint64_t left = z->dataEnd - z->inputEndOffset;
  const uint32_t want = left < kInputSize ? static_cast<uint32_t>(left) : kInputSize;
  uint32_t got = 0;
  // Others read the file between pages: the position is ours only while we read.
  if (want > 0 && (!FileSeek(z->file, static_cast<int64_t>(z->inputEndOffset), kSeekBegin, nullptr) ||
                   !FileRead(z->file, z->input, want, &got)))
    return false;
  if (z->encrypted) ZipCryptoDecrypt(z->keys, z->input, got);
  z->inputEnd = got;
  z->inputEndOffset += got;
  return true;
}

// Stored data: the bytes themselves; a point at each refill that is due, for the keys.
uint32_t CopyStored(ZipStream* z, uint8_t* out, uint32_t room) {
  const uint32_t n = z->inputEnd - z->inputBegin < room ? z->inputEnd - z->inputBegin : room;
  std::memcpy(out, z->input + z->inputBegin, n);
  z->inputBegin += n;
  return n;
}

uint32_t Decode(ZipStream* z, uint8_t* out, uint32_t room) {
  InflateStream& s = z->inflate;
  s.input = z->input + z->inputBegin;
  s.inputLeft = z->inputEnd - z->inputBegin;
  s.output = out;
  s.outputLeft = room;
  const InflateResult r = z->decoder(&s);
  z->inputBegin = static_cast<uint32_t>(s.input - z->input);
  const uint32_t made = static_cast<uint32_t>(s.output - out);
  if (r == kInflateBlockEnd && PointDue(z->points, z->output + made)) {
    z->output += made;
    KeepBlockPoint(&z->points, &s, z->windowSize, PointHere(z));
    z->output -= made;
  }
  // The end, damage or a wrong key: the view shows what came before.
  if (r == kInflateDone || r < 0) z->ended = true;
  return made;
}

bool ReadStream(ZipStream* z, uint8_t* out, uint32_t count, uint32_t* got) {
  *got = 0;
  while (*got < count && !z->ended) {
    if (z->inputBegin == z->inputEnd) {
      if (z->decoder == nullptr && PointDue(z->points, z->output)) KeepPoint(&z->points, PointHere(z));
      if (!Refill(z)) return false;
      if (z->inputEnd == 0) {
        z->ended = true;
        break;
      }
    }
    const uint32_t made = z->decoder == nullptr ? CopyStored(z, out + *got, count - *got) : Decode(z, out + *got, count - *got);
    z->output += made;
    *got += made;
  }
  return true;
}

bool ResumeAt(ZipStream* z, const InflatePoint& p) {
  z->inputBegin = z->inputEnd = 0;
  z->inputEndOffset = p.input;
  std::memcpy(z->keys, p.keys, sizeof z->keys);
  z->output = p.output;
  z->ended = false;
  if (!FileSeek(z->file, static_cast<int64_t>(p.input), kSeekBegin, nullptr)) return false;
  if (z->decoder == nullptr) return true;
  if (!RenewInflateState(&z->inflate)) return false;
  z->inflate.state->stopAtBlocks = 1;
  return p.output == 0 || ResumeAtPoint(&z->inflate, z->windowSize, p);
}

bool SeekStream(ZipStream* z, uint64_t offset) {
  const InflatePoint& p = PointBefore(z->points, offset);
  if (offset < z->output || p.output > z->output) {
    if (!ResumeAt(z, p)) return false;
  }
  while (z->output < offset && !z->ended) {
    const uint64_t left = offset - z->output;
    uint32_t got = 0;
    if (!ReadStream(z, z->scratch, left < kScratchSize ? static_cast<uint32_t>(left) : kScratchSize, &got)) return false;
  }
  return true;
}

void CloseStream(ZipStream* z) {
  EndInflateStream(&z->inflate);
  EndPoints(&z->points);
  delete[] z->input;
  delete[] z->scratch;
  delete z;
}

bool SourceRead(void* state, uint8_t* out, uint32_t count, uint32_t* got) { return ReadStream(Of(state), out, count, got); }
bool SourceSeek(void* state, uint64_t offset) { return SeekStream(Of(state), offset); }
uint64_t SourceFileOffset(const void* state) { return InputOffset(Of(state)); }
ResultCode SourceFailure(const void*) { return kResultOk; }
void SourceClose(void* state) { CloseStream(Of(state)); }
}  // namespace

const ByteSourceOps kZipMemberStreamOps = {SourceRead, SourceSeek, SourceFileOffset, SourceFailure, SourceClose};

void* NewZipMemberStream(FileHandle file, uint64_t dataOffset, uint64_t storedSize, uint16_t method,
                         const uint32_t* keys) {
  auto* z = new (std::nothrow) ZipStream{};
  if (z == nullptr) return nullptr;
  z->file = file;
  z->dataEnd = dataOffset + storedSize;
  z->decoder = method == kZipMethodDeflate ? Inflate : method == kZipMethodDeflate64 ? Inflate64 : nullptr;
  z->windowSize = method == kZipMethodDeflate64 ? kInflate64WindowSize : kInflateWindowSize;
  z->encrypted = keys != nullptr;
  InflatePoint first = PointAt(0, dataOffset, 0, false);
  if (keys != nullptr) std::memcpy(first.keys, keys, sizeof first.keys);
  z->input = new (std::nothrow) uint8_t[kInputSize];
  z->scratch = new (std::nothrow) uint8_t[kScratchSize];
  if (z->input == nullptr || z->scratch == nullptr || !BeginPoints(&z->points, first) || !ResumeAt(z, first)) {
    CloseStream(z);
    return nullptr;
  }
  return z;
}
