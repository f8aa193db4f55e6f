// Appending files at the end of QBX and TAR archives, and cutting additions away again.
#pragma once

#include "core/context.h"

inline constexpr uint64_t kMinFreeSpaceLeft = 1048576;
inline constexpr uint64_t kMaxSourceSize = uint64_t{1} << 48;
inline constexpr uint64_t kMaxArchiveSize = uint64_t{1} << 60;
inline constexpr uint64_t kMaxTarMemberSize = uint64_t{1} << 33;

ResultCode AppendFile(ArchiveContext* context, const char16_t* sourcePath, const char16_t* storedName);
ResultCode AppendQbx(ArchiveContext* context);
ResultCode AppendTar(ArchiveContext* context);
// Cuts the archive at offset (a TAR gets its two zero blocks there first). Keeps the result.
ResultCode TruncateArchive(ArchiveContext* context, uint32_t memberCount, uint64_t offset);
// Cuts away everything added since the archive was opened with that count and end.
ResultCode RevertAdditions(ArchiveContext* context, uint32_t openMemberCount, uint64_t openEndOffset);

// Shared by the two format halves: a failed append stops here, undone by AppendFile.
ResultCode WriteArchive(ArchiveContext* context, const void* data, uint32_t count);
ResultCode ReadSource(ArchiveContext* context);
