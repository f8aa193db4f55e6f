// Progress accounting shared by every format, and the pause and cancel poll.
#pragma once

#include <cstdint>

#include "core/context.h"

void ProgressBegin(ArchiveContext* context, int64_t total, ProgressCallback callback,
                   uint64_t userValue);
void ProgressAdvance(ArchiveContext* context, uint64_t n);
void ProgressAdvanceInOut(ArchiveContext* context, uint64_t nIn, uint64_t nOut);
void ProgressSkip(ArchiveContext* context, int64_t amount);
// Listers only: the walk has reached offset; time and rates are left alone.
void ProgressPosition(ArchiveContext* context, uint64_t offset);

// Sleeps in 500 ms steps while the job is paused, counting them as paused time. Returns 1
// (and stores it as the result) when the job is being cancelled, else 0.
ResultCode WaitWhilePaused(ArchiveContext* context);
