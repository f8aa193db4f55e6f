// In-place header edits: renames, TAR modes, and deleting the last member.
#pragma once

#include "core/context.h"

inline constexpr uint32_t kMaxRenameChars = 256;
// Stores newName (its first kMaxRenameChars characters, "\" made "/") in the member's header.
ResultCode RenameMember(ArchiveContext* context, uint32_t memberIndex, const char16_t* newName);
// The formats' halves of RenameMember (FormatOps::rename), taking the new name from memberName.
ResultCode RenameQbxMember(ArchiveContext* context, uint32_t memberIndex);
ResultCode RenameTarMember(ArchiveContext* context, uint32_t memberIndex);
ResultCode SetTarMode(ArchiveContext* context, uint32_t memberIndex, uint32_t mode);
// Cuts the archive at the member and gives it its end there (a TAR's two zero blocks, a
// ZIP's directory without the member's record); callers pass the last member listed, since
// only truncation removes data. The cut is the new revert point. A failure leaves the
// archive as it was.
ResultCode DeleteLastMember(ArchiveContext* context, uint32_t memberIndex);

// Shared by the edits.
// Seeks to the member's first block by the offset table; kResultNotFound when it is not known.
ResultCode FindMember(ArchiveContext* context, uint32_t memberIndex);
// A name whose last byte (within limit) is "/" or "\" names a directory.
bool NameEndsInSlash(const uint8_t* name, uint32_t limit);
// Writes one 512-byte header at offset and reports the edited member.
ResultCode WriteMemberHeader(ArchiveContext* context, uint64_t offset, const void* header);
