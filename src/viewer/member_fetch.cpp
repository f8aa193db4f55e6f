#include "viewer/member_fetch.h"

#include <algorithm>

#include "core/read_ahead.h"
#include "viewer/fetch_formats.h"

namespace {
const FetchOps* FetchOpsOf(FormatKind format) {
  static const FetchOps* const kTable[kFormatKindCount] = {nullptr, &kQbxFetch, &kTarFetch,
                                                            &kZipFetch, &kGzFetch, &kTarFetch};
  return format < kFormatKindCount ? kTable[format] : nullptr;
}

// The start every fetch shares: an open archive, a known member, the file at its offset.
ResultCode FindFetchedMember(ArchiveContext* context, uint32_t memberIndex, const FetchOps** ops) {
  context->result = kResultOk;
  if (context->archiveFile == kInvalidFile || context->ioBuffer == nullptr)
    return Fail(context, kResultOpen);
  *ops = FetchOpsOf(context->format);
  if (*ops == nullptr) return Fail(context, kResultNotFound);
  return (*ops)->locate(context, memberIndex);
}
}  // namespace

ResultCode ReadExactly(ArchiveContext* context, uint8_t* into, uint32_t count, ResultCode shortCode) {
  if (!ArchiveRead(context, into, count, &context->bytesRead))
    return Fail(context, kResultRead);
  if (context->bytesRead < count) return Fail(context, shortCode);
  return kResultOk;
}

void PrepareMemberView(ArchiveContext* context, int64_t listedStoredSize) {
  context->onMember = nullptr;
  context->listedStoredSize = std::max<int64_t>(listedStoredSize, 0);
}

ResultCode ReadMemberHeader(ArchiveContext* context, uint32_t memberIndex, PageBuffer* page) {
  ResetPage(page, 0, kHeaderTerminators);
  const FetchOps* ops = nullptr;
  if (FindFetchedMember(context, memberIndex, &ops) != kResultOk) return context->result;
  return ops->header(context, page);
}

ResultCode ReadMemberData(ArchiveContext* context, uint32_t memberIndex, uint32_t page,
                          PageBuffer* buffer) {
  ResetPage(buffer, 0, kDataTerminators);
  const FetchOps* ops = nullptr;
  if (FindFetchedMember(context, memberIndex, &ops) != kResultOk) return context->result;
  if (ops->dataStart(context) != kResultOk) return context->result;
  return ReadDataPage(context, page, buffer);
}

ResultCode ReadDataPage(ArchiveContext* context, uint32_t page, PageBuffer* buffer) {
  uint64_t length = context->remaining > 0 ? static_cast<uint64_t>(context->remaining) : 0;
  uint64_t start = std::min<uint64_t>(uint64_t{page} * kViewPageBytes, length);
  uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(length - start, kViewPageBytes));
  ResetPage(buffer, n, kDataTerminators);
  if (n == 0) return context->result;
  if (start > 0 && !ArchiveSkip(context, static_cast<int64_t>(start), nullptr))
    return Fail(context, kResultRead);
  // Data cut off by the end of the file is reported, not shown as zero bytes.
  if (ReadExactly(context, buffer->bytes.data(), n, kResultUnexpectedEnd) != kResultOk) {
    ResetPage(buffer, 0, kDataTerminators);
    return context->result;
  }
  return context->result;
}
