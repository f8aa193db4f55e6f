// The texts of a member's row: name, date, type, sizes and the format's details.
#pragma once

#include <cstdint>

#include "core/context.h"
#include "jobs/main_state.h"

// "1 234 567": decimal digits in groups of three separated by a blank.
void GroupedDecimal(uint64_t value, char16_t* out);
// "2023-05-17 14:03" in local time; empty when the time has no calendar form.
void DateCell(uint64_t fileTime, char16_t* out);
// Mode letters for TAR, attribute letters for QBX, the method for ZIP and GZ.
// out holds kCellChars units.
void DetailsText(const ArchiveContext* context, char16_t* out);
// The "Type" column: "Unknown", "Directory", "File", the system's name, or "XYZ File".
// cache is used and filled when given.
void TypeName(const char16_t* name, TypeCache* cache, char16_t* out);
