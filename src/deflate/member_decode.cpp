#include "deflate/member_decode.h"

#include <algorithm>

#include "core/append.h"
#include "core/progress.h"
#include "core/read_ahead.h"
#include "deflate/crc32.h"

namespace {
// A gzip member's size is known only at its end, and a ZIP member's may be missing: a bomb
// would fill the disk before it failed. The output stops while a reserve is still free on
// the destination, the current folder.
ResultCode CheckDestinationSpace(uint32_t count) {
  uint64_t free = 0;
  // A volume that cannot tell is written on, as the system itself would.
  if (GetFreeDiskBytes(u"", &free) && free < count + kMinFreeSpaceLeft) return kResultWrite;
  return kResultOk;
}

ResultCode WriteOutput(ArchiveContext* context, const uint8_t* bytes, uint32_t count) {
  if (context->outputFile == kInvalidFile) return kResultOk;
  if (ResultCode r = CheckDestinationSpace(count)) return r;
  uint32_t put = 0;
  if (!FileWrite(context->outputFile, bytes, count, &put) || put != count) return kResultWrite;
  return kResultOk;
}

// Writes and checksums one block of output.
ResultCode DeliverOutput(ArchiveContext* context, const uint8_t* bytes, uint32_t count) {
  if (ResultCode r = WriteOutput(context, bytes, count)) return r;
  context->dataChecksum = Crc32Update(context->dataChecksum, bytes, count);
  return kResultOk;
}

ResultCode ReadChunk(ArchiveContext* context, uint32_t n, ChunkFilter filter) {
  uint32_t got = 0;
  if (!ArchiveRead(context, context->ioBuffer, n, &got)) return kResultRead;
  if (got != n) return kResultUnexpectedEnd;
  if (filter) filter(context, context->ioBuffer, n);
  return kResultOk;
}

// Decodes one chunk of input. At the last chunk it goes on while the decoder still has
// output to give. *finished is set once the decoder reports the stream's end.
ResultCode DecodeChunk(ArchiveContext* context, InflateFunction decoder, InflateStream* stream,
                       uint32_t n, ChunkFilter filter, uint64_t room, uint64_t* chunkOut, bool* finished) {
  stream->input = context->ioBuffer;
  stream->inputLeft = n;
  while (stream->inputLeft > 0 || context->remaining == 0) {
    stream->output = context->outBuffer;
    stream->outputLeft = kOutBufferSize;
    const InflateResult r = decoder(stream);
    if (r == kInflateNoMemory) return kResultNoMemory;
    if (r < 0) return filter ? kResultPassword : kResultFormat;
    if (r == kInflateDone) *finished = true;
    const uint32_t k = kOutBufferSize - stream->outputLeft;
    if (k == 0) break;
    // More than the member says it holds: a bomb or damage, stopped before it is written.
    if (k > room - *chunkOut) return filter ? kResultPassword : kResultFormat;
    if (ResultCode w = DeliverOutput(context, context->outBuffer, k)) return w;
    *chunkOut += k;
    if (r == kInflateDone) break;
  }
  return kResultOk;
}

// With unused set, reading stops at the chunk in which the stream ends and *unused gets
// the bytes of that chunk behind the end.
ResultCode RunChunks(ArchiveContext* context, InflateFunction decoder, InflateStream* stream,
                     ChunkFilter filter, uint64_t limit, uint64_t* total, uint32_t* unused) {
  bool finished = false;
  const bool hadData = context->remaining > 0;
  while (context->remaining > 0) {
    const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(context->remaining, kIoBufferSize));
    context->remaining -= n;
    if (ResultCode r = ReadChunk(context, n, filter)) return r;
    uint64_t chunkOut = n;
    if (decoder) {
      chunkOut = 0;
      if (ResultCode r = DecodeChunk(context, decoder, stream, n, filter, limit - *total, &chunkOut, &finished))
        return r;
    } else if (n > limit - *total) {
      return kResultFormat;
    } else if (ResultCode r = DeliverOutput(context, context->ioBuffer, n)) {
      return r;
    }
    if (WaitWhilePaused(context)) return kResultCancelled;
    *total += chunkOut;
    if (unused && finished) {
      *unused = stream->inputLeft;
      ProgressAdvanceInOut(context, n - stream->inputLeft, chunkOut);
      break;
    }
    ProgressAdvanceInOut(context, n, chunkOut);
  }
  // The data ran out before the stream's final block ended: the member is cut short even
  // when its last piece of input gave no output to notice it by.
  if (decoder && hadData && !finished) return filter ? kResultPassword : kResultFormat;
  return kResultOk;
}

ResultCode DecodeData(ArchiveContext* context, InflateFunction decoder, ChunkFilter filter,
                      uint64_t limit, uint64_t* outputTotal, uint32_t* unused) {
  InflateStream stream{};
  *outputTotal = 0;
  if (decoder) {
    stream.state = NewInflateState();
    if (!stream.state) return Fail(context, kResultNoMemory);
  }
  context->dataChecksum = 0;
  const ResultCode result = RunChunks(context, decoder, &stream, filter, limit, outputTotal, unused);
  EndInflateStream(&stream);
  context->result = result;
  return result;
}
}  // namespace

ResultCode DecodeMemberData(ArchiveContext* context, InflateFunction decoder, ChunkFilter filter,
                            uint64_t outputLimit, uint64_t* outputTotal) {
  return DecodeData(context, decoder, filter, outputLimit, outputTotal, nullptr);
}

ResultCode DecodeStreamData(ArchiveContext* context, InflateFunction decoder,
                            uint64_t* outputTotal, uint32_t* unused) {
  *unused = 0;
  return DecodeData(context, decoder, nullptr, kNoOutputLimit, outputTotal, unused);
}

namespace {
// Output that is only counted goes through a chunk of this size on the worker's stack.
constexpr uint32_t kCountingChunk = 65536;

// Decodes all the input into output (room for limit + 1 bytes) or, without output, through
// a chunk, keeping length and checksum. More output than limit ends it as damage.
InflateResult InflateAll(const uint8_t* input, uint32_t length, InflateFunction decoder, uint64_t limit,
                         uint8_t* output, DecodedData* out) {
  InflateStream stream{input, length, nullptr, 0, NewInflateState(), nullptr};
  if (stream.state == nullptr) return kInflateNoMemory;
  uint8_t chunk[kCountingChunk];
  InflateResult r = kInflateProgress;
  while (r == kInflateProgress) {
    uint8_t* to = output != nullptr ? output + out->length : chunk;
    const auto room = static_cast<uint32_t>(output != nullptr ? limit + 1 - out->length : kCountingChunk);
    stream.output = to;
    stream.outputLeft = room;
    r = decoder(&stream);
    const uint32_t made = room - stream.outputLeft;
    out->checksum = Crc32Update(out->checksum, to, made);
    out->length += made;
    if (out->length > limit) r = kInflateBadData;
    // Nothing more came: the input is used up before the stream's end.
    if (made == 0 && r == kInflateProgress) break;
  }
  EndInflateStream(&stream);
  return r;
}
}  // namespace

void DecodeWhole(const uint8_t* input, uint64_t length, InflateFunction decoder, bool decrypted,
                 uint64_t outputLimit, uint8_t* output, DecodedData* out) {
  *out = {};
  if (decoder == nullptr) {
    // Stored data are their own output; too many fail as the stored copy fails, whatever the filter.
    if (length > outputLimit) out->result = kResultFormat;
    out->bytes = output != nullptr ? input : nullptr;
    out->length = length;
    out->checksum = Crc32Update(0, input, length);
    return;
  }
  out->bytes = output;
  if (length == 0) return;  // no data, no stream: as the chunk loop sees it
  if (length > UINT32_MAX || (output != nullptr && outputLimit >= UINT32_MAX)) {
    out->result = kResultNoMemory;
    return;
  }
  const InflateResult r = InflateAll(input, static_cast<uint32_t>(length), decoder, outputLimit, output, out);
  if (r == kInflateNoMemory) out->result = kResultNoMemory;
  else if (r != kInflateDone) out->result = decrypted ? kResultPassword : kResultFormat;
}

ResultCode DeliverDecodedData(ArchiveContext* context, const DecodedData* data, uint64_t inputLength,
                              uint64_t* outputTotal) {
  *outputTotal = 0;
  context->dataChecksum = 0;
  context->result = data->result;
  if (data->result != kResultOk) return data->result;
  uint64_t done = 0, inputDone = 0;
  do {
    const uint32_t k = static_cast<uint32_t>(std::min<uint64_t>(data->length - done, kOutBufferSize));
    if (ResultCode r = WriteOutput(context, data->bytes + done, k)) return Fail(context, r);
    if (WaitWhilePaused(context)) return Fail(context, kResultCancelled);
    done += k;
    // The input in step with the output, all of it by the last block.
    const uint64_t inputNow = data->length == 0 ? inputLength : inputLength * done / data->length;
    ProgressAdvanceInOut(context, inputNow - inputDone, k);
    inputDone = inputNow;
  } while (done < data->length);
  context->dataChecksum = data->checksum;
  *outputTotal = data->length;
  return kResultOk;
}
