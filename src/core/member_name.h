// A member's stored name as the wide text the user sees, by format.
#pragma once

#include "core/context.h"

inline constexpr uint32_t kDecodedNameChars = kEntryNameSize + 1;

// UTF-8 for QBX and GZ, for TAR when headerCodePage is kCodePageUtf8 and for ZIP members flagged
// UTF-8; one byte per character otherwise. out holds kDecodedNameChars units.
void DecodeMemberName(const ArchiveContext* context, const EntryRecord* entry, char16_t* out);
// memberName into the first kNameArea bytes of ioBuffer (zeroed first), as UTF-8 or one
// byte per character: the header then takes as many bytes as its name field holds.
inline constexpr uint32_t kNameArea = 1024;
void EncodeMemberName(ArchiveContext* context, bool utf8);
