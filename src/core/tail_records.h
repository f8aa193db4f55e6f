// The records kept behind an archive's members (TailRecords in context.h): grown one record
// at a time, cut back to a member count, written out whole.
#pragma once

#include "core/context.h"

// Adds a record behind the others; false when memory is short (nothing changes then).
bool AddTailRecord(TailRecords* records, const uint8_t* record, uint32_t length);
// Keeps the first count records (fewer stay as they are).
void KeepTailRecords(TailRecords* records, uint32_t count);
// The bytes the first count records take.
uint64_t TailRecordsLength(const TailRecords* records, uint32_t count);
// Frees everything and leaves the records empty.
void FreeTailRecords(TailRecords* records);
