// Taking the members through the central directory once the local-header walk has lost them.
#include "core/progress.h"
#include "core/read_ahead.h"
#include "zip/zip_directory.h"

namespace {
// The local header defers its sizes to a descriptor behind the data, or to a ZIP64 record it
// lacks; the central header has them, so no descriptor is looked for. Descriptor members keep
// padding 0: the directory, not the descriptor's length, leads to the next member.
void TakeCentralSizes(ArchiveContext* context, const ZipCentralEntry& central, ZipLocalHeader* header) {
  EntryRecord& e = context->entry;
  if (!(header->generalFlags & kZipFlagDescriptor) && !(e.attributes & kAttrZipSizesNotFound)) return;
  if (!central.sizesValid) {
    e.attributes |= kAttrZipSizesNotFound;
    return;
  }
  e.attributes &= ~kAttrZipSizesNotFound;
  header->crc32 = e.checksum = central.crc32;
  header->compressedSize = central.compressedSize;
  header->uncompressedSize = e.size = central.uncompressedSize;
  e.packedSize = static_cast<int64_t>(central.compressedSize);
}
}  // namespace

ResultCode EnterZipDirectory(ArchiveContext* context, uint32_t walked, uint64_t stop,
                             ZipDirectoryCursor* cursor) {
  *cursor = {};
  // The directory is read where it lies, not in the walk's order.
  EndReadAhead(context);
  ZipDirectory& d = cursor->directory;
  ResultCode r = FindZipDirectory(context->archiveFile, context->fileSize, context->ioBuffer, &d);
  if (r != kResultOk) return r;
  if (d.count <= walked) return kResultNotFound;
  cursor->next = d.start;
  uint64_t resume = d.start;
  // Every entry must read, and the walked members must be the directory's first ones: a
  // directory that disagrees with the walk is not trusted over it.
  for (uint64_t i = 0;; ++i) {
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    if (i == walked) resume = cursor->next;
    ZipCentralEntry entry{};
    r = ReadZipCentralEntry(context, cursor, &entry);
    if (r == kResultEndOfMembers) break;
    if (r == kResultRead) return r;
      if (r != kResultOk) return kResultNotFound;
    if ((i < walked) != (entry.localOffset < stop)) return kResultNotFound;
  }
  cursor->next = resume;
  cursor->index = walked;
  cursor->active = true;
  return kResultOk;
}

ResultCode ReadZipDirectoryMember(ArchiveContext* context, ZipDirectoryCursor* cursor,
                                  ZipLocalHeader* header) {
  ZipCentralEntry central{};
  if (ResultCode r = ReadZipCentralEntry(context, cursor, &central)) return r;
  context->position = central.localOffset;
  if (!FileSeek(context->archiveFile, static_cast<int64_t>(central.localOffset), kSeekBegin, nullptr))
    return kResultRead;
  const ResultCode r = ReadZipLocalHeader(context, header);
  if (r == kResultRead) return r;
  if (r != kResultOk) return kResultFormat;
  TakeCentralSizes(context, central, header);
  return kResultOk;
}
