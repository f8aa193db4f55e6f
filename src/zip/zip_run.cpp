#include <cstring>
#include <new>

#include "core/extract.h"
#include "core/member_name.h"
#include "core/progress.h"
#include "core/read_ahead.h"
#include "zip/zip.h"
#include "zip/zip_directory.h"
#include "zip/zip_header.h"
#include "zip/zip_walk.h"

namespace {
// The next member's header: from the walk, or through the directory once it is active. The
// walk hands over at the member where the listing's did (the rule is in zip_list.cpp).
ResultCode ReadNextHeader(ArchiveContext* context, ZipLocalHeader* header, ZipDirectoryCursor* directory) {
  header->memberIndex = context->memberIndex;
  if (directory->active) return ReadZipDirectoryMember(context, directory, header);
  const ResultCode r = ReadZipLocalHeader(context, header);
  if (!WalkLostMembers(r)) return r;
  const ResultCode entered = EnterZipDirectory(context, context->memberIndex, context->position, directory);
  if (entered == kResultNotFound) return r;
  if (entered != kResultOk) return entered;
  return ReadZipDirectoryMember(context, directory, header);
}
}  // namespace

ResultCode LocateZipMember(ArchiveContext* context, ZipLocalHeader* header, uint32_t testFlag,
                           ZipDirectoryCursor* directory) {
  ResultCode r = ReadNextHeader(context, header, directory);
  // Extraction stops quietly where no header follows; a test reports it.
  if (r == kResultFormat && testFlag == 0) r = kResultEndOfMembers;
  if (r != kResultOk) return r;
  context->position += ZipHeaderLength(*header);
  const EntryRecord& e = context->entry;
  // The directory gave a streamed member's sizes: no descriptor to look for.
  if ((header->generalFlags & kZipFlagDescriptor) && !directory->active) {
    if (ResultCode f = FindDataDescriptor(context, *header, 0)) return f;
    // The descriptor's sizes: packedSize is never negative.
    context->position -= e.padding + static_cast<uint64_t>(e.packedSize);
    if (!ArchiveSeek(context, context->position)) return kResultRead;
  }
  if (e.attributes & kAttrZipSizesNotFound) return kResultFormat;
  return kResultOk;
}

ResultCode ProcessZipMember(ArchiveContext* context, uint32_t testFlag) {
  if (!(context->entry.attributes & kAttrZipMethodKnown)) return kResultUnsupportedMethod;
  if (testFlag == 0) return ExtractMemberFile(context, DecodeZipMember);
  context->outputFile = kInvalidFile;
  return DecodeZipMember(context);
}

namespace {
// Behind the member's data and descriptor, whatever was read of them.
ResultCode MoveToNextHeader(ArchiveContext* context) {
  const EntryRecord& e = context->entry;
  if (context->remaining > 0 || e.padding > 0) {
    if (!ArchiveSkip(context, context->remaining + e.padding, &context->position)) return kResultRead;
  } else {
    // ReadZipLocalHeader and the descriptor scan keep packedSize within 0..INT64_MAX.
    context->position += static_cast<uint64_t>(e.packedSize);
  }
  return kResultOk;
}

ResultCode WalkZipMember(ArchiveContext* context, uint32_t testFlag, ZipLocalHeader* header,
                         ZipDirectoryCursor* directory, char16_t* nameBuffer) {
  if (ResultCode r = LocateZipMember(context, header, testFlag, directory)) return r;
  context->remaining = context->entry.packedSize;
  DecodeMemberName(context, nameBuffer);
  if (context->onMember(context) != 0) {
    if (ResultCode r = ProcessZipMember(context, testFlag)) return r;
  }
  return MoveToNextHeader(context);
}
}  // namespace

ResultCode RunZip(ArchiveContext* context, uint32_t testFlag) {
  if (context->outBuffer == nullptr) context->outBuffer = new (std::nothrow) uint8_t[kOutBufferSize];
  if (context->outBuffer == nullptr) return Fail(context, kResultNoMemory);
  char16_t nameBuffer[kMemberNameChars];
  context->memberName = nameBuffer;
  context->position = 0;
  ResultCode r = FileSeek(context->archiveFile, 0, kSeekBegin, nullptr) ? kResultOk : kResultRead;
  if (r == kResultOk) r = BeginReadAhead(context, 0);
  std::memset(&context->entry, 0, sizeof context->entry);
  ZipLocalHeader header{};
  ZipDirectoryCursor directory{};
  const bool ahead = r == kResultOk && context->walkWorkers >= 2 && WalkZipAhead(context, testFlag, nameBuffer, &r);
  for (context->memberIndex = 0; !ahead && r == kResultOk && context->memberIndex < kMaxMembers;
       ++context->memberIndex) {
    if (WaitWhilePaused(context) != kResultOk) break;
    r = WalkZipMember(context, testFlag, &header, &directory, nameBuffer);
  }
  EndReadAhead(context);
  if (r == kResultEndOfMembers) r = kResultOk;
  if (r != kResultOk) Fail(context, r);
  context->memberName = nullptr;
  return context->result;
}
