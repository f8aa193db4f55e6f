// The steps every listing walk shares.
#pragma once

#include "core/context.h"

// Counters to zero and the file to its start; kResultRead when the seek fails.
ResultCode BeginListing(ArchiveContext* context);
// Keeps the walk's position as the offset of the member in work, when there is room.
void RecordMemberOffset(ArchiveContext* context);
// Hands the member just read to onMember and the walk's position to the progress.
void ReportListedMember(ArchiveContext* context);
// The walk's position to the progress (the file's position under a source).
void ProgressListed(ArchiveContext* context);
// Ends a walk whose every index up to memberIndex was a member: counts them, puts the end
// of the archive where the walk stopped, and the progress at the file's end.
ResultCode EndListing(ArchiveContext* context);
// BeginListing, then the walk through the read-ahead buffer (TAR and QBX); the result.
ResultCode ListReadingAhead(ArchiveContext* context, ResultCode (*walk)(ArchiveContext* context));
