// Renaming a member of a ZIP that may grow (zip_growth.h), in place: FormatOps::rename.
#pragma once

#include "core/context.h"

// Gives the member memberName (UTF-8, flag bit 11) in its local header, in place, and in its
// central record, kept in memory, then writes the whole directory and the end records again
// behind the members. Data never move: a name of another length in bytes is refused with
// kResultNameLengthFixed, one that would make a folder a file or a file a folder with
// kResultNameChangesType. A failure gives the archive back byte for byte.
ResultCode RenameZipMember(ArchiveContext* context, uint32_t memberIndex);
