// A member's stored name: taken from the archive by each format, shown as wide text.
#pragma once

#include "core/context.h"

// Keeps a name's bytes (up to the first zero, at most length) in name; fixedField as below.
void KeepNameBytes(StoredName* name, const uint8_t* bytes, uint32_t length, NameEncoding encoding,
                   bool fixedField);
// Keeps the name's bytes (up to the first zero, at most length) as the member in work's name,
// and its first 256 bytes, zero-padded, in entry.name. fixedField: the bytes are a name field
// of that length, which a name filling it may have been cut to fit.
void SetStoredName(ArchiveContext* context, const uint8_t* bytes, uint32_t length,
                   NameEncoding encoding, bool fixedField);
// The encoding of a TAR name read with the context's headerCodePage: UTF-8 when the setting
// says so, or when the bytes are well-formed UTF-8 with a character outside ASCII (what
// today's writers store); one byte per character otherwise.
NameEncoding TarNameEncoding(const ArchiveContext* context, const uint8_t* bytes, uint32_t length);
// Whether a name goes into a header as UTF-8: always where the preferred encoding is UTF-8,
// and where one byte per character would lose a character above U+00FF.
bool WritesAsUtf8(const char16_t* name, NameEncoding preferred);
// The stored name as wide text into out of kMemberNameChars units.
void DecodeMemberName(const ArchiveContext* context, char16_t* out);
void DecodeStoredName(const StoredName& name, char16_t* out);
// memberName into the first kNameArea bytes of ioBuffer (zeroed first), as UTF-8 or one
// byte per character: the header then takes as many bytes as its name field holds.
inline constexpr uint32_t kNameArea = kMaxNameBytes + 1;
void EncodeMemberName(ArchiveContext* context, bool utf8);
