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

namespace {
// The page from the member's extracted data, through a source kept while the member is the
// same, so that paging on starts from its resumption points.
ResultCode ReadExtractedPage(ArchiveContext* context, const FetchOps& ops, uint32_t memberIndex, uint32_t page,
                             PageBuffer* buffer) {
  ByteSource& view = context->viewSource;
  if (view.ops == nullptr || context->viewSourceMember != memberIndex) {
    CloseByteSource(&view);
    if (ops.openExtracted(context, &view) != kResultOk) return context->result;
    context->viewSourceMember = memberIndex;
  }
  ResetPage(buffer, kViewPageBytes, kDataTerminators);
  uint32_t got = 0;
  if (!view.ops->seek(view.state, uint64_t{page} * kViewPageBytes) ||
      !view.ops->read(view.state, buffer->bytes.data(), kViewPageBytes, &got)) {
    ResetPage(buffer, 0, kDataTerminators);
    return Fail(context, kResultRead);
  }
  // The decoder may have used the room behind what it gave as scratch: the terminators are
  // made zero here.
  buffer->length = got;
  buffer->bytes.resize(uint64_t{got} + kDataTerminators);
  std::fill(buffer->bytes.begin() + got, buffer->bytes.end(), uint8_t{0});
  return context->result;
}
}  // namespace

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
                          PageBuffer* buffer, bool extracted) {
  ResetPage(buffer, 0, kDataTerminators);
  const FetchOps* ops = nullptr;
  if (FindFetchedMember(context, memberIndex, &ops) != kResultOk) return context->result;
  if (ops->dataStart(context) != kResultOk) return context->result;
  if (extracted && ops->openExtracted != nullptr) return ReadExtractedPage(context, *ops, memberIndex, page, buffer);
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
