#include "core/archive.h"

#include <new>

#include "core/detect.h"
#include "core/progress.h"
#include "core/append.h"
#include "core/tail_records.h"

namespace {
const FormatOps* OpsFor(const ArchiveContext* context) {
  if (context->formats == nullptr || context->format >= kFormatKindCount) return nullptr;
  return &context->formats[context->format];
}

// A new archive is the end of one without members: nothing (QBX), two zero blocks (TAR),
// an end record (ZIP).
ResultCode WriteEmptyArchive(ArchiveContext* context) {
  const AppendSteps* steps = AppendStepsOf(context);
  if (steps == nullptr) return Fail(context, kResultSave);
  return steps->writeEnd(context, 0, 0, 0, &context->fileSize);
}

ResultCode CreateNewArchive(ArchiveContext* context) {
  if (!IsWritableFormat(context->format) || AppendStepsOf(context) == nullptr) return Fail(context, kResultSave);
  context->openMode = kModeReadWrite;
  context->archiveFile =
      FileOpen(context->archivePath, kAccessReadWrite, kShareNone, kCreateAlways);
  if (context->archiveFile == kInvalidFile) return Fail(context, kResultSave);
  return WriteEmptyArchive(context);
}

// An archive the listing found it may not change (damage, a ZIP it cannot grow) is held as
// any reader holds it, so that others may read it meanwhile.
ResultCode ShareWhenReadOnly(ArchiveContext* context) {
  if (context->openMode != kModeReadOnly || !IsWritableFormat(context->format)) return kResultOk;
  FileClose(context->archiveFile);
  context->archiveFile = FileOpen(context->archivePath, kAccessRead, kShareRead, kOpenExisting);
  return context->archiveFile == kInvalidFile ? Fail(context, kResultOpen) : kResultOk;
}

// A missing archive opened for writing is made; a missing ZIP as create makes it, since a
// ZIP is no ZIP without its end record (a TAR or QBX of no bytes lists as an empty one).
// Reading alone never makes a file.
ResultCode OpenExistingArchive(ArchiveContext* context) {
  uint32_t attributes = 0;
  const bool existed = GetPathAttributes(context->archivePath, &attributes);
  if (IsWritableFormat(context->format)) {
    context->openMode = kModeReadWrite;
    context->archiveFile =
        FileOpen(context->archivePath, kAccessReadWrite, kShareNone, kOpenAlways);
  }
  if (context->archiveFile == kInvalidFile) {
    context->openMode = kModeReadOnly;
    // Reading never makes a file: a missing archive is an error, not a new empty one.
    context->archiveFile = FileOpen(context->archivePath, kAccessRead, kShareRead, kOpenExisting);
    if (context->archiveFile == kInvalidFile) return Fail(context, kResultOpen);
  }
  if (!existed && context->openMode == kModeReadWrite && context->format == kFormatZip)
    return WriteEmptyArchive(context);
  if (!FileGetSize(context->archiveFile, &context->fileSize)) return Fail(context, kResultRead);
  ProgressBegin(context, static_cast<int64_t>(context->fileSize), context->onProgress,
                context->progressUser);
  const FormatOps* ops = OpsFor(context);
  if (ops != nullptr && ops->list != nullptr) ops->list(context);
  // Never append behind data the file does not hold: the next member would leave a gap
  // or land inside the missing data.
  if (context->result == kResultOk && context->appendOffset > context->fileSize)
    context->openMode = kModeReadOnly;
  if (context->result == kResultOk) ShareWhenReadOnly(context);
  return context->result;
}
}  // namespace

ResultCode OpenArchive(ArchiveContext* context, uint32_t createFlag) {
  context->result = kResultOk;
  if (context->onMember == nullptr) return Fail(context, kResultNoCallback);
  if (context->archivePath == nullptr || context->archivePath[0] == 0)
    return Fail(context, kResultOpen);
  CloseArchive(context);
  if (DetectFormat(context) != kResultOk) return context->result;
  context->ioBuffer = new (std::nothrow) uint8_t[kIoBufferSize];
  if (context->ioBuffer == nullptr) {
    Fail(context, kResultNoMemory);
  } else if (createFlag != 0) {
    CreateNewArchive(context);
  } else {
    OpenExistingArchive(context);
  }
  ResultCode result = context->result;
  if (result != kResultOk) {
    CloseArchive(context);
    context->result = result;
  }
  context->revertSize = context->fileSize;
  return result;
}

bool IsWritableFormat(FormatKind format) {
  return format == kFormatQbx || format == kFormatTar || format == kFormatZip;
}

ResultCode CheckModeEditable(ArchiveContext* context) {
  if (CheckWritable(context) != kResultOk) return context->result;
  return context->format == kFormatZip ? Fail(context, kResultSave) : kResultOk;
}

ResultCode CheckWritable(ArchiveContext* context) {
  if (context->archiveFile == kInvalidFile) return Fail(context, kResultOpen);
  if (!IsWritableFormat(context->format) || context->openMode != kModeReadWrite) return Fail(context, kResultSave);
  return kResultOk;
}

void CloseArchive(ArchiveContext* context) {
  context->openMode = kModeClosed;
  context->format = kFormatNone;
  context->memberCount = 0;
  context->appendOffset = 0;
  context->fileSize = 0;
  if (context->archiveFile != kInvalidFile) FileClose(context->archiveFile);
  context->archiveFile = kInvalidFile;
  CloseByteSource(&context->source);
  CloseByteSource(&context->viewSource);
  context->sourcePosition = 0;
  delete[] context->ioBuffer;
  context->ioBuffer = nullptr;
  delete[] context->readAhead.data;
  context->readAhead = {};
  delete[] context->outBuffer;
  context->outBuffer = nullptr;
  delete[] context->writeStage.data;
  context->writeStage = {};
  FreeTailRecords(&context->tailRecords);
  delete[] context->sparseMap;
  context->sparseMap = nullptr;
  context->sparseCount = 0;
}

ResultCode RunMembers(ArchiveContext* context, int64_t totalBytes, uint32_t testFlag) {
  context->result = kResultOk;
  if (context->onMember == nullptr) return Fail(context, kResultNoCallback);
  if (context->archiveFile == kInvalidFile) return Fail(context, kResultOpen);
  ProgressBegin(context, totalBytes, context->onProgress, context->progressUser);
  const FormatOps* ops = OpsFor(context);
  if (ops != nullptr && ops->run != nullptr) return ops->run(context, testFlag);
  return context->result;
}
