// Operations of the formats the core implements itself.
#pragma once

#include "core/context.h"
#include "core/qbx.h"
#include "core/tar.h"

inline constexpr FormatOps kQbxFormatOps = {ListQbx, nullptr};
inline constexpr FormatOps kTarFormatOps = {ListTar, nullptr};

// The table with QBX and TAR only, for users of the core alone.
inline constexpr FormatOps kCoreFormatTable[kFormatKindCount] = {
    {}, kQbxFormatOps, kTarFormatOps, {}, {}};
