// The ZIP format's listing and its test and extraction walk.
#pragma once

#include "core/context.h"

ResultCode ListZip(ArchiveContext* context);
// Tests (testFlag 1) or extracts the members the member callback accepts.
ResultCode RunZip(ArchiveContext* context, uint32_t testFlag);
// Decrypts, decodes and checks the member whose data begin at the file's position
// (context->remaining bytes), writing to outputFile when it is valid.
ResultCode DecodeZipMember(ArchiveContext* context);
// For detection of a file whose first bytes are no ZIP's (a program with a ZIP appended):
// true when it ends in an end record whose central directory is found (FindZipDirectory).
bool EndsAsZip(FileHandle file);
