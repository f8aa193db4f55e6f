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
// QBX, TAR and ZIP take appends; every other format is only read.
bool IsWritableFormat(FormatKind format);
// QBX and TAR also take edits in place: renames, modes, deleting the last member, repair.
bool IsEditableFormat(FormatKind format);
// The one answer to "may this archive change": kResultOpen when none is open, kResultSave
// when its format is read-only or it was opened read-only (locked, read-only file, damage).
ResultCode CheckWritable(ArchiveContext* context);
// CheckWritable, and kResultSave for a format that takes appends only (ZIP).
ResultCode CheckEditable(ArchiveContext* context);
