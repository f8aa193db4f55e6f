#include <cstring>
#include <new>

#include "core/extract.h"
#include "core/member_name.h"
#include "gz/gz.h"

ResultCode RunGz(ArchiveContext* context, uint32_t testFlag) {
  if (context->outBuffer == nullptr) context->outBuffer = new (std::nothrow) uint8_t[kOutBufferSize];
  if (context->outBuffer == nullptr) return Fail(context, kResultNoMemory);
  char16_t nameBuffer[kMemberNameChars] = {};
  context->memberName = nameBuffer;
  GzHeader header;
  ResultCode r = ReadGzMemberHeader(context, &header);
  if (r == kResultOk) {
    // UTF-8, as the list shows it, so that the written file carries the name seen there.
    DecodeMemberName(context, nameBuffer);
    if (context->onMember(context) == 0) {
      r = kResultOk;
    } else if (header.compressionMethod != kGzMethodDeflate) {
      r = Fail(context, kResultUnsupportedMethod);
    } else if (testFlag != 0) {
      context->outputFile = kInvalidFile;
      r = DecodeGzMember(context);
    } else {
      r = ExtractMemberFile(context, DecodeGzMember);
    }
  }
  context->memberName = nullptr;
  return r;
}
