// Opening, creating and closing an archive, and the extract-or-test dispatch.
#pragma once

#include <cstdint>

#include "core/context.h"

// Detects the format of archivePath and opens it (createFlag 0, listing every member
// through onMember) or creates it (createFlag 1; QBX, TAR and ZIP).
ResultCode OpenArchive(ArchiveContext* context, uint32_t createFlag);
// Never fails; leaves the context closed.
void CloseArchive(ArchiveContext* context);
// Extracts or tests the members through the format's walk.
ResultCode RunMembers(ArchiveContext* context, int64_t totalBytes, uint32_t testFlag);
// QBX, TAR and ZIP take appends, renames and deleting the last member (a ZIP only when it
// may grow, which CheckWritable answers); only TAR takes modes (CheckModeEditable), and only
// QBX and TAR tails are repaired. Every other format is only read.
bool IsWritableFormat(FormatKind format);
// The one answer to "may this archive change", for appends and edits in place alike:
// kResultOpen when none is open, kResultSave when its format is read-only or it was opened
// read-only (locked, read-only file, damage, a ZIP we cannot grow).
ResultCode CheckWritable(ArchiveContext* context);
// CheckWritable for the mode job, which sets TAR modes and passes QBX members over: kResultSave
// for a ZIP as well, whose members keep no mode to set.
ResultCode CheckModeEditable(ArchiveContext* context);
