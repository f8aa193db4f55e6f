#include <cstring>

#include "core/extract.h"
#include "core/member_name.h"
#include "core/progress.h"
#include "core/read_ahead.h"
#include "core/tar.h"

namespace {
// One member whose header was just read: hand it to the callback, then move past it.
ResultCode WalkTarMember(ArchiveContext* context, uint32_t testFlag, char16_t* nameBuffer) {
  EntryRecord& e = context->entry;
  context->remaining = e.packedSize;
  e.packedSize += e.padding;  // the space the member takes, as the listing reports it
  DecodeMemberName(context, nameBuffer);
  if (context->onMember(context) != 0) {
    ResultCode r;
    if (testFlag != 0) {
      context->outputFile = kInvalidFile;
      r = context->sparseCount > 0 ? CopySparseTarData(context) : CopyTarData(context);
    } else {
      r = ExtractMemberFile(context, context->sparseCount > 0 ? CopySparseTarData : CopyTarData);
    }
    if (r != kResultOk) return Fail(context, r);
  }
  context->remaining += e.padding;
  uint64_t next = 0;
  if (!ArchiveSkip(context, context->remaining, &next))
    return Fail(context, kResultRead);
  context->position = next;
  return kResultOk;
}

enum class Jump { Read, Done };

// With the listing's offsets, a walk that wants some members only goes straight to the next
// of them: in a compressed stream the data in between are never decoded.
Jump JumpToWanted(ArchiveContext* context, ResultCode* r) {
  if (context->nextWanted == nullptr || context->memberOffsets == nullptr ||
      context->memberIndex >= context->memberCount)
    return Jump::Read;
  const uint32_t want = context->nextWanted(context, context->memberIndex);
  if (want >= context->memberCount) return Jump::Done;
  if (want == context->memberIndex || want >= context->memberOffsetCapacity) return Jump::Read;
  context->memberIndex = want;
  context->position = context->memberOffsets[want];
  if (!ArchiveSeek(context, context->position)) *r = Fail(context, kResultRead);
  return Jump::Read;
}
}  // namespace

ResultCode CopyTarData(ArchiveContext* context) {
  ProgressAdvanceInOut(context, context->entry.padding, 0);
  while (context->remaining > 0) {
    uint32_t n = 0;
    if (CopyNextBlock(context, &n) != kResultOk) return context->result;
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    ProgressAdvanceInOut(context, n, n);
  }
  return context->result;
}

ResultCode ExtractTar(ArchiveContext* context, uint32_t testFlag) {
  char16_t nameBuffer[kMemberNameChars];
  context->memberName = nameBuffer;
  context->position = 0;
  ResultCode r = kResultOk;
  if (!ArchiveSeek(context, 0)) r = Fail(context, kResultRead);
  if (r == kResultOk) r = BeginReadAhead(context, 0);
  std::memset(&context->entry, 0, sizeof context->entry);
  TarHeaderState state;
  for (context->memberIndex = 0; r == kResultOk && context->memberIndex < kMaxMembers;
       ++context->memberIndex) {
    if (WaitWhilePaused(context) != kResultOk) break;
    if (JumpToWanted(context, &r) == Jump::Done || r != kResultOk) break;
    r = ReadTarHeader(context, &state);
    if (r == kResultOk) {
      r = WalkTarMember(context, testFlag, nameBuffer);
    } else if (r == kResultEmptyBlock) {
      context->position += state.consumed;
      r = kResultOk;
    } else if (r == kResultEndOfMembers) {
      r = kResultOk;
      break;
    } else {
      Fail(context, r);
    }
  }
  EndReadAhead(context);
  context->memberName = nullptr;
  return context->result;
}
