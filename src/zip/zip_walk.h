// The pieces the ZIP test and extraction walk shares between its two forms: one member after
// another on the calling thread (zip_run.cpp), and members decoded ahead by workers
// (zip_run_ahead.cpp).
#pragma once

#include <cstdint>

#include "core/context.h"
#include "deflate/inflate.h"
#include "zip/zip_directory.h"
#include "zip/zip_header.h"

// Reads the next header (from the walk, or through the directory once it is active) and
// finds where the member's data lie: position is their offset, and the file is there.
// kResultEndOfMembers when the members end.
ResultCode LocateZipMember(ArchiveContext* context, ZipLocalHeader* header, uint32_t testFlag,
                           ZipDirectoryCursor* directory);
// Tests or extracts the located member that the member callback accepted.
ResultCode ProcessZipMember(ArchiveContext* context, uint32_t testFlag);

// The decoder of a member's data; null for stored data.
InflateFunction ZipDecoderOf(const EntryRecord& e);
// The most output a member may give: its size where that is known.
uint64_t ZipOutputLimit(const EntryRecord& e);

// The walk with members decoded ahead on context->walkWorkers threads: the same members
// offered to the member callback in the same order, the same files and result. False when
// no worker could be started (*result untouched): the caller walks alone.
bool WalkZipAhead(ArchiveContext* context, uint32_t testFlag, char16_t* nameBuffer, ResultCode* result);
