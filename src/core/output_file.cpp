#include "core/output_file.h"

namespace {
constexpr uint32_t kMaxAttempts = 64;
constexpr char16_t kHexDigits[] = u"0123456789abcdef";

// Folder part of path (up to and including its last separator) + "~qbx" + n + ".tmp".
void TemporaryName(const char16_t* path, uint32_t n, char16_t* out) {
  uint32_t folderEnd = 0;
  for (uint32_t i = 0; path[i] != 0; ++i)
    if (path[i] == u'\\' || path[i] == u'/') folderEnd = i + 1;
  uint32_t k = 0;
  for (; k < folderEnd && k < kMemberNameChars; ++k) out[k] = path[k];
  for (const char16_t* s = u"~qbx"; *s != 0; ++s) out[k++] = *s;
  for (int shift = 12; shift >= 0; shift -= 4) out[k++] = kHexDigits[(n >> shift) & 15];
  for (const char16_t* s = u".tmp"; *s != 0; ++s) out[k++] = *s;
  out[k] = 0;
}
}  // namespace

ResultCode OpenOutputFile(ArchiveContext* context, const char16_t* path, OutputTarget* target) {
  target->path = path;
  target->temporary[0] = 0;
  // Creating it exclusively is also the test that nothing stands there yet.
  context->outputFile = FileOpen(path, kAccessWrite, kShareNone, kCreateNew);
  if (context->outputFile != kInvalidFile) return kResultOk;
  // A name that is already taken (or anything else that refuses the file) moves to the next.
  uint32_t seed = TickCount();
  for (uint32_t n = 0; n < kMaxAttempts; ++n) {
    TemporaryName(path, (seed + n * 7919u) & 0xFFFF, target->temporary);
    context->outputFile = FileOpen(target->temporary, kAccessWrite, kShareNone, kCreateNew);
    if (context->outputFile != kInvalidFile) return kResultOk;
  }
  target->temporary[0] = 0;
  return Fail(context, kResultSave);
}

ResultCode CloseOutputFile(ArchiveContext* context, OutputTarget* target, ResultCode result) {
  FileClose(context->outputFile);
  context->outputFile = kInvalidFile;
  const bool inPlace = target->temporary[0] == 0;
  if (result == kResultOk && !inPlace && !MoveFileOver(target->temporary, target->path)) result = kResultSave;
  if (result != kResultOk) DeletePath(inPlace ? target->path : target->temporary);
  // A volume without streams (FAT) cannot hold the mark; like every peer, the file stays.
  if (result == kResultOk && context->zoneMark != nullptr)
    WriteZoneMark(target->path, context->zoneMark, context->zoneMarkLength);
  context->result = result;
  return result;
}
