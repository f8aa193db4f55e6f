#include "gz/gz.h"
#include "deflate/inflate.h"
#include "core/little_endian.h"
#include "deflate/member_decode.h"

namespace {

enum class Behind { End, Member, Garbage };

// The trailer right behind a member's stream: CRC-32 and length of what was decoded.
ResultCode CheckTrailer(ArchiveContext* context, uint64_t total) {
  uint8_t trailer[kGzTrailerSize];
  uint32_t got = 0;
  if (!FileRead(context->archiveFile, trailer, kGzTrailerSize, &got)) return Fail(context, kResultRead);
  if (got < kGzTrailerSize) return Fail(context, kResultUnexpectedEnd);
  if (Le32(trailer) != context->dataChecksum || Le32(trailer + 4) != static_cast<uint32_t>(total))
    return Fail(context, kResultChecksum);
  return kResultOk;
}

// What the bytes from the file's position on are: nothing or zero padding (as tapes and dd
// leave), the header of another member, or anything else.
ResultCode LookBehind(ArchiveContext* context, Behind* behind) {
  uint8_t* buffer = context->ioBuffer;
  uint32_t n = 0;
  if (!FileRead(context->archiveFile, buffer, kIoBufferSize, &n)) return Fail(context, kResultRead);
  *behind = Behind::End;
  if (n >= 2 && Le16(buffer) == kGzMagic) {
    *behind = Behind::Member;
    return FileSeek(context->archiveFile, -static_cast<int64_t>(n), kSeekCurrent, nullptr)
               ? kResultOk
               : Fail(context, kResultRead);
  }
  while (n > 0) {
    for (uint32_t i = 0; i < n; ++i) {
      if (buffer[i] != 0) {
        *behind = Behind::Garbage;
        return kResultOk;
      }
    }
    if (!FileRead(context->archiveFile, buffer, kIoBufferSize, &n)) return Fail(context, kResultRead);
  }
  return kResultOk;
}

// Decodes one member's stream from the file's position and checks its trailer.
ResultCode DecodeOneMember(ArchiveContext* context) {
  uint64_t start = 0;
  if (!FileSeek(context->archiveFile, 0, kSeekCurrent, &start)) return Fail(context, kResultRead);
  context->remaining = context->fileSize > start ? static_cast<int64_t>(context->fileSize - start) : 0;
  uint64_t total = 0;
  uint32_t unused = 0;
  if (ResultCode r = DecodeStreamData(context, Inflate, &total, &unused)) return r;
  if (!FileSeek(context->archiveFile, -static_cast<int64_t>(unused), kSeekCurrent, nullptr))
    return Fail(context, kResultRead);
  return CheckTrailer(context, total);
}
}  // namespace

// A gzip file may hold several members one after another (cat a.gz b.gz, pigz, bgzip):
// their data are one output, and each member's trailer follows its own stream.
ResultCode DecodeGzMember(ArchiveContext* context) {
  for (;;) {
    if (ResultCode r = DecodeOneMember(context)) return r;
    Behind behind = Behind::End;
    if (ResultCode r = LookBehind(context, &behind)) return r;
    if (behind == Behind::End) return kResultOk;
    // Test and extraction agree: the file is damaged, and an existing file stays as it was.
    if (behind == Behind::Garbage) return Fail(context, kResultFormat);
    GzHeader header;
    EntryRecord next{};
    if (ResultCode r = ReadGzHeader(context->archiveFile, &header, &next, context->ioBuffer, context->fileSize))
      return Fail(context, r);
    if (header.compressionMethod != kGzMethodDeflate) return Fail(context, kResultUnsupportedMethod);
  }
}
