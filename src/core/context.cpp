#include "core/context.h"

#include <cstring>

void InitArchiveContext(ArchiveContext* context, const FormatOps* formats) {
  // Everything starts zero or absent; only these differ.
  std::memset(static_cast<void*>(context), 0, sizeof *context);
  context->jobState.store(kJobIdle);
  context->headerCodePage = kCodePageUtf8;
  context->archiveFile = kInvalidFile;
  context->sourceFile = kInvalidFile;
  context->outputFile = kInvalidFile;
  context->formats = formats;
  context->compressionLevel = kCompressNormal;
}
