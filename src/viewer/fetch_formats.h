// Per-format steps of the member fetch, behind the offset lookup of member_fetch.cpp.
#pragma once

#include "core/context.h"
#include "viewer/page_buffer.h"

struct FetchOps {
  // Checks the index and puts the file at the member's first byte.
  ResultCode (*locate)(ArchiveContext* context, uint32_t memberIndex);
  // The header bytes at the member, which the file is positioned at.
  ResultCode (*header)(ArchiveContext* context, PageBuffer* page);
  // Steps over the header at the member, leaving the file at the first data byte and the
  // data length in remaining.
  ResultCode (*dataStart)(ArchiveContext* context);
  // For data that are stored otherwise than they extract (compressed, encrypted): a source
  // of the extracted data, made once dataStart has put the file at the member's data.
  // Absent where the stored bytes are the data.
  ResultCode (*openExtracted)(ArchiveContext* context, ByteSource* source) = nullptr;
};

extern const FetchOps kQbxFetch;
extern const FetchOps kTarFetch;
extern const FetchOps kZipFetch;
extern const FetchOps kGzFetch;

// Reads exactly count bytes: 15 when the read fails, shortCode when the file ends first.
ResultCode ReadExactly(ArchiveContext* context, uint8_t* into, uint32_t count, ResultCode shortCode);
