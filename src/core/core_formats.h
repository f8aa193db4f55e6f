// Operations of the formats the core implements itself.
#pragma once

#include "core/context.h"
#include "core/extract.h"
#include "core/qbx.h"
#include "core/tar.h"

inline constexpr FormatOps kQbxFormatOps = {ListQbx, ExtractQbx};
inline constexpr FormatOps kTarFormatOps = {ListTar, ExtractTar};

// The table with QBX and TAR only, for users of the core alone.
inline constexpr FormatOps kCoreFormatTable[kFormatKindCount] = {
    {}, kQbxFormatOps, kTarFormatOps, {}, {}, {}};
