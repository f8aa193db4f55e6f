// The ZIP format's listing and its test and extraction walk.
#pragma once

#include "core/context.h"

ResultCode ListZip(ArchiveContext* context);
// Tests (testFlag 1) or extracts the members the member callback accepts.
ResultCode RunZip(ArchiveContext* context, uint32_t testFlag);
// Decrypts, decodes and checks the member whose data begin at the file's position
// (context->remaining bytes), writing to outputFile when it is valid.
ResultCode DecodeZipMember(ArchiveContext* context);
