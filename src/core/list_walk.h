// The steps every listing walk shares.
#pragma once

#include "core/context.h"

// Counters to zero and the file to its start; 15 when the seek fails.
ResultCode BeginListing(ArchiveContext* context);
// Keeps the walk's position as the offset of the member in work, when there is room.
void RecordMemberOffset(ArchiveContext* context);
