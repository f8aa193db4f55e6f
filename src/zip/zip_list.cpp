#include <cstring>

#include "core/list_walk.h"
#include "core/progress.h"
#include "zip/zip.h"
#include "zip/zip_header.h"

namespace {
// Moves position behind the member whose header was just read. Non-zero ends the listing.
ResultCode StepOverData(ArchiveContext* context, const ZipLocalHeader& header) {
  context->position += ZipHeaderLength(header);
  if (header.generalFlags & kZipFlagDescriptor) {
    if (ResultCode r = FindDataDescriptor(context, header, 1)) return r;
  } else {
    context->position += header.compressedSize;
  }
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(context->position), kSeekBegin, nullptr))
    return Fail(context, kResultRead);
  return kResultOk;
}
}  // namespace

ResultCode ListZip(ArchiveContext* context) {
  if (BeginListing(context) != kResultOk) return context->result;
  std::memset(&context->entry, 0, sizeof context->entry);
  ZipLocalHeader header{};
  for (context->memberIndex = 0; context->memberIndex < kMaxMembers; ++context->memberIndex) {
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    // The previous member's end was not found: nothing behind it can be located.
    if (context->entry.attributes & kAttrZipSizesNotFound) break;
    RecordMemberOffset(context);
    header.memberIndex = context->memberIndex;
    const ResultCode r = ReadZipLocalHeader(context->archiveFile, &header, &context->entry, context->ioBuffer);
    if (r == kResultRead) return Fail(context, r);
    // Anything but a member ends the listing quietly: the directory, damage, a cut file.
    if (r != kResultOk) break;
    if (StepOverData(context, header) != kResultOk) return context->result;
    ReportListedMember(context);
  }
  return EndListing(context);
}
