// Extraction and test walks of TAR and QBX archives.
#pragma once

#include "core/context.h"

ResultCode ExtractTar(ArchiveContext* context, uint32_t testFlag);
ResultCode ExtractQbx(ArchiveContext* context, uint32_t testFlag);
// Copy (outputFile valid) or read through one member's data from the archive position.
ResultCode CopyTarData(ArchiveContext* context);
ResultCode CopyQbxData(ArchiveContext* context);

// Shared by the copy loops: takes the next block of at most 256 KiB of the member's
// remaining data into ioBuffer and writes it to outputFile when there is one. Returns the
// block's size in *count.
ResultCode CopyNextBlock(ArchiveContext* context, uint32_t* count);
// The same for the next n bytes (at most 256 KiB) of the member's data.
ResultCode CopyBlock(ArchiveContext* context, uint32_t n);

// Shared by every extractor: the member callback said "process"; make the folders, write
// the data through copy into a temporary file, and put it in place when all went well.
ResultCode ExtractMemberFile(ArchiveContext* context, ResultCode (*copy)(ArchiveContext*));
// Makes the folders above memberName, after the member callback found no link in its path;
// with the context's checked folder, only those not made or checked before. False on failure.
bool MakeMemberFolders(ArchiveContext* context);
