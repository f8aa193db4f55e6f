// Fetching what the viewer shows: a member's raw header bytes, or one 256 KiB page of its
// data, as it extracts (decompressed and decrypted, through the context's viewSource, which
// keeps its resumption points while the same member is viewed) or as it is stored.
#pragma once

#include <cstdint>

#include "core/context.h"
#include "viewer/page_buffer.h"

// Before fetching: no member reports, and the member's listed stored size where the ZIP
// data fetch finds it for streamed members.
void PrepareMemberView(ArchiveContext* context, int64_t listedStoredSize);

// The member's header material as it lies in the archive. kResultOpen when no archive is
// open, kResultNotFound when the member cannot be found, read errors as the formats give them.
ResultCode ReadMemberHeader(ArchiveContext* context, uint32_t memberIndex, PageBuffer* page);
// Page number page of the member's extracted data (extracted true) or stored data; an empty
// buffer past the end. The extracted data of an encrypted ZIP member need context->password:
// kResultPassword when it is absent or its check byte says it is wrong.
ResultCode ReadMemberData(ArchiveContext* context, uint32_t memberIndex, uint32_t page,
                          PageBuffer* buffer, bool extracted);
// From the current position (the member's first data byte) and remaining (the data
// length): bytes [page * 256 KiB, page * 256 KiB + 256 KiB) clipped to the data.
ResultCode ReadDataPage(ArchiveContext* context, uint32_t page, PageBuffer* buffer);
