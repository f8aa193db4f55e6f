// Recognising an archive's format by its extension or its first bytes.
#pragma once

#include <cstdint>

#include "core/context.h"

// Index of the last "." behind the last "\" and "/", or the length of the path.
uint32_t ExtensionOf(const char16_t* path);

// Sets context->format (0 when unknown) and returns 0 or 19.
ResultCode DetectFormat(ArchiveContext* context);
