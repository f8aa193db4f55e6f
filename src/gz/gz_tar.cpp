// A TAR inside gzip (.tar.gz, .tgz): the TAR walks read the decoded stream through the
// source of gz_stream.cpp. Such an archive is only read: appending would mean rewriting the
// whole compressed file.
#include "core/extract.h"
#include "core/read_ahead.h"
#include "core/tar.h"
#include "gz/gz.h"
#include "gz/gz_stream.h"

namespace {
// The stream's first block is a TAR header with a checksum that matches.
bool BeginsWithTarHeader(ArchiveContext* context) {
  uint8_t block[kTarBlockSize];
  uint32_t got = 0;
  return ArchiveRead(context, block, kTarBlockSize, &got) && got == kTarBlockSize && IsTarHeaderBlock(block);
}

// The walk stopped short of the stream's end where the stream itself did: its fault is the
// one to report, not the TAR reader's "unexpected end".
void TakeStreamFailure(ArchiveContext* context) {
  const ResultCode stream = context->source.ops->failure(context->source.state);
  if (context->result == kResultUnexpectedEnd && stream != kResultOk) context->result = stream;
}
}  // namespace

bool OpenTarInsideGz(ArchiveContext* context) {
  if (context->openOuter != 0 || OpenGzSource(context) != kResultOk) {
    context->result = kResultOk;
    return false;
  }
  if (!BeginsWithTarHeader(context)) {
    CloseByteSource(&context->source);
    return false;
  }
  context->format = kFormatTarGz;
  return true;
}

// The decoded length as the last trailer gives it: only for showing progress.
uint64_t TrailerSize(ArchiveContext* context) {
  uint32_t crc = 0, size = 0;
  return ReadGzTrailer(context->archiveFile, context->fileSize, &crc, &size) == kResultOk ? size : 0;
}

ResultCode ListTarGz(ArchiveContext* context) {
  context->openMode = kModeReadOnly;
  // Listing means decoding it all; the walk that follows decodes it once, not twice.
  if (context->walkFollows != 0) {
    context->walkSizeHint = TrailerSize(context);
    return context->result;
  }
  ListTar(context);
  return context->result;
}

ResultCode RunTarGz(ArchiveContext* context, uint32_t testFlag) {
  if (context->source.ops == nullptr && OpenGzSource(context) != kResultOk) return context->result;
  void* stream = context->source.state;
  CheckGzStreamCrc(stream, true);
  ExtractTar(context, testFlag);
  TakeStreamFailure(context);
  // Every member read from the start: the gzip trailers behind the TAR vouch for it all.
  if (context->result == kResultOk && context->nextWanted == nullptr) {
    if (ResultCode r = CheckWholeGzStream(stream)) Fail(context, r);
  }
  CheckGzStreamCrc(stream, false);
  return context->result;
}
