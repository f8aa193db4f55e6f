// The files of a batch made ready ahead by worker threads while earlier members are written,
// so that a format that compresses its members uses every core. Members are written in the
// order the files came, each exactly as a lone AppendFile would write it: the workers only
// read sources and encode, the calling thread does every write.
#pragma once

#include <atomic>

#include "core/context.h"

// The most a worker holds of one source; larger sources are encoded as they are written.
inline constexpr uint64_t kMaxPreparedSource = uint64_t{4} << 20;

// A member's data made ready away from the archive (by AppendSteps::prepare). The member is
// appended from them without opening the source again: facts are those of the handle the
// data were read through.
struct PreparedData {
  uint8_t* bytes;       // the data as they are to be stored (new[]); null when none
  uint64_t length;
  uint32_t checksum;    // of the source (CRC-32 for a ZIP)
  uint32_t method;      // the format's method for these bytes
  FileFacts facts;      // of the source as it was read, all of it (facts.size bytes)
  bool ready;           // false: the member is written from its source as usual
};
void FreePreparedData(PreparedData* data);

// Starts `workers` threads for the batch begun last (nothing when the format prepares
// nothing ahead or workers is below 2, and then the batch appends file by file).
void StartAppendAhead(ArchiveContext* context, uint32_t workers);
// Appends the file within a batch: with workers, it is queued and members queued earlier
// may be appended to make room. The result is that of what was appended (kResultOk when
// the file only joined the queue); once it is a failure, nothing queued is appended.
ResultCode AppendFileAhead(ArchiveContext* context, const char16_t* sourcePath, const char16_t* storedName);
// Appends what is still queued (while the result is kResultOk), then ends the workers.
ResultCode FinishAppendAhead(ArchiveContext* context);
