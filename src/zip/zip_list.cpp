#include <cstring>

#include "core/list_walk.h"
#include "core/progress.h"
#include "core/read_ahead.h"
#include "zip/zip.h"
#include "zip/zip_directory.h"
#include "zip/zip_growth.h"
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
  if (!ArchiveSeek(context, context->position)) return Fail(context, kResultRead);
  return kResultOk;
}

// The members the directory names from the cursor on, in its order.
ResultCode ListDirectoryMembers(ArchiveContext* context, ZipDirectoryCursor* cursor) {
  ZipLocalHeader header{};
  for (; context->memberIndex < kMaxMembers; ++context->memberIndex) {
    if (WaitWhilePaused(context) != kResultOk) return context->result;
    header.memberIndex = context->memberIndex;
    const ResultCode r = ReadZipDirectoryMember(context, cursor, &header);
    if (r == kResultRead) return Fail(context, r);
    // The directory's end, or damage in it, ends the listing quietly as in the walk.
    if (r != kResultOk) break;
    RecordMemberOffset(context);
    ReportListedMember(context);
  }
  return context->result;
}

// Goes on through the directory where the walk lost the members; kResultNotFound is no error.
ResultCode ListRestThroughDirectory(ArchiveContext* context) {
  ZipDirectoryCursor cursor;
  const ResultCode r = EnterZipDirectory(context, context->memberIndex, context->position, &cursor);
  if (r == kResultNotFound) return kResultOk;
  if (r != kResultOk) return Fail(context, r);
  if (ListDirectoryMembers(context, &cursor) != kResultOk) return context->result;
  // The archive's members end where its directory starts, as where a whole walk stops.
  context->position = cursor.directory.start;
  return kResultOk;
}

// Walks the local headers from the file's start (read ahead). False when the listing failed
// (the context's result says how), else *stop is what ended the walk.
bool WalkLocalHeaders(ArchiveContext* context, ZipGrowth* growth, ResultCode* stop) {
  std::memset(&context->entry, 0, sizeof context->entry);
  ZipLocalHeader header{};
  *stop = kResultOk;
  for (context->memberIndex = 0; context->memberIndex < kMaxMembers; ++context->memberIndex) {
    if (WaitWhilePaused(context) != kResultOk) return false;
    // The previous member's end was not found: nothing behind it can be located.
    if (context->entry.attributes & kAttrZipSizesNotFound) break;
    RecordMemberOffset(context);
    header.memberIndex = context->memberIndex;
    *stop = ReadZipLocalHeader(context, &header);
    if (*stop == kResultRead) {
      Fail(context, kResultRead);
      return false;
    }
    // Anything but a member ends the walk: the directory, damage, a cut file.
    if (*stop != kResultOk) break;
    CheckZipGrowthMember(context, growth);
    if (StepOverData(context, header) != kResultOk) return false;
    ReportListedMember(context);
  }
  return true;
}
}  // namespace

// Which way reads the members: the walk of the local headers from the file's start is the
// first way, for every member it reaches. Only when it stops on bytes that are no member (a
// stub in front of the first header, padding or junk between members) and the central
// directory names further members at or behind that point (EnterZipDirectory has the
// checks) are the members from there on read through the directory. An archive the walk
// reads up to a closing record never has its directory read. RunZip decides the same way
// at the same member, so indexes agree.
//
// An archive open for writing is also checked for growth on the way (zip_growth.h).
ResultCode ListZip(ArchiveContext* context) {
  ZipGrowth growth;
  if (BeginZipGrowth(context, &growth) != kResultOk) return Fail(context, kResultRead);
  if (BeginListing(context) != kResultOk || BeginReadAhead(context, 0) != kResultOk) return context->result;
  ResultCode r = kResultOk;
  const bool walked = WalkLocalHeaders(context, &growth, &r);
  EndReadAhead(context);
  if (!walked) return context->result;
  EndZipGrowth(context, &growth, r);
  if (WalkLostMembers(r) && ListRestThroughDirectory(context) != kResultOk) return context->result;
  return EndListing(context);
}
