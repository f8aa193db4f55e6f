// Which ZIP files Quillbox appends to: one that ends in a central directory and end records
// exactly as Quillbox writes them (no comment, one disk, nothing behind them, ZIP64 records
// only where a value does not fit), whose every central record points at the member the walk
// of the local headers finds there, the first at offset 0, the walk reaching the directory.
// Its central records are kept in memory (the context's tailRecords) from the listing on, so
// that each append writes them again behind the new member. Every other ZIP is read-only.
#pragma once

#include "core/context.h"

struct ZipGrowth {
  uint64_t directoryOffset;
  uint64_t directorySize;
  uint32_t count;
  bool possible;
};

// Before the walk: when the file is open for writing and its end is one we would write,
// loads the directory's records. kResultRead on read failure; anything else leaves
// growth->possible saying whether the archive may still grow.
ResultCode BeginZipGrowth(ArchiveContext* context, ZipGrowth* growth);
// At each member the walk finds (context->memberIndex at context->position): it must be the
// one the next central record points to.
void CheckZipGrowthMember(const ArchiveContext* context, ZipGrowth* growth);
// After the walk, which stopped with walkEnd at context->position: keeps the records when
// the archive may grow; drops them and makes the archive read-only otherwise.
void EndZipGrowth(ArchiveContext* context, const ZipGrowth* growth, ResultCode walkEnd);
