// Operations of the formats the core implements itself.
#pragma once

#include "core/append.h"
#include "core/context.h"
#include "core/edit.h"
#include "core/extract.h"
#include "core/qbx.h"
#include "core/tar.h"

inline constexpr FormatOps kQbxFormatOps = {ListQbx, ExtractQbx, nullptr, &kQbxAppendSteps, RenameQbxMember};
inline constexpr FormatOps kTarFormatOps = {ListTar, ExtractTar, nullptr, &kTarAppendSteps, RenameTarMember};

// The table with QBX and TAR only, for users of the core alone.
inline constexpr FormatOps kCoreFormatTable[kFormatKindCount] = {
    {}, kQbxFormatOps, kTarFormatOps, {}, {}, {}};
