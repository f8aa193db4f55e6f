#include "core/context.h"

#include <cstring>

void InitArchiveContext(ArchiveContext* context, const FormatOps* formats) {
  context->result = 0;
  context->jobState.store(kJobIdle);
  std::memset(&context->progress, 0, sizeof context->progress);
  context->archivePath = nullptr;
  context->memberName = nullptr;
  context->password = nullptr;
  context->headerCodePage = 65001;
  context->memberOffsets = nullptr;
  context->memberOffsetCapacity = 0;
  context->strictMode = 0;
  context->onMember = nullptr;
  context->onProgress = nullptr;
  context->owner = nullptr;
  context->progressUser = 0;
  context->memberIndex = 0;
  std::memset(&context->entry, 0, sizeof context->entry);
  context->openMode = kModeClosed;
  context->format = kFormatNone;
  std::memset(context->zipKeys, 0, sizeof context->zipKeys);
  context->memberCount = 0;
  context->appendOffset = 0;
  context->fileSize = 0;
  context->remaining = 0;
  context->position = 0;
  context->bytesRead = 0;
  context->bytesWritten = 0;
  context->archiveFile = kInvalidFile;
  context->sourceFile = kInvalidFile;
  context->outputFile = kInvalidFile;
  context->appendPending = 0;
  context->dataChecksum = 0;
  std::memset(context->crcTable, 0, sizeof context->crcTable);
  context->ioBuffer = nullptr;
  context->outBuffer = nullptr;
  context->formats = formats;
}
