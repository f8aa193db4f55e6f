// Recognising an archive's format by its extension or its first bytes.
#pragma once

#include <cstdint>

#include "core/context.h"

// Index of the last "." behind the last "\" and "/", or the length of the path.
uint32_t ExtensionOf(const char16_t* path);

// Sets context->format (kFormatNone when unknown) and returns kResultOk or kResultNotArchive.
ResultCode DetectFormat(ArchiveContext* context);
