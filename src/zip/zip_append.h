// How a member is appended to a ZIP (zip_growth.h says which ZIPs take it).
#pragma once

#include "core/append.h"
#include "deflate/deflate_encode.h"

extern const AppendSteps kZipAppendSteps;

// The encoder level for a context's compressionLevel (kCompress...).
DeflateLevel DeflateLevelOf(uint32_t compressionLevel);
// Reads the source whole and deflates it (AppendSteps::prepare); sources larger than
// kMaxPreparedSource are left to WriteZipData.
void PrepareZipData(const char16_t* sourcePath, uint32_t compressionLevel, const std::atomic<uint32_t>* jobState,
                    PreparedData* out);
