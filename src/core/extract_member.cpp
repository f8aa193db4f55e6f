#include "core/extract.h"
#include "core/folders.h"
#include "core/output_file.h"
#include "core/read_ahead.h"

ResultCode ExtractMemberFile(ArchiveContext* context, ResultCode (*copy)(ArchiveContext*)) {
  // A name we could keep only in part would put the file somewhere it does not belong.
  if (context->storedName.tooLong != 0) return Fail(context, kResultLimit);
  if (!MakeMemberFolders(context)) return Fail(context, kResultSave);
  OutputTarget target;
  if (OpenOutputFile(context, context->memberName, &target) != kResultOk) return context->result;
  ResultCode r = copy(context);
  // The member's time goes on last: writing would move it again.
  if (r == kResultOk && !FileSetWriteTime(context->outputFile, context->entry.modified))
    r = kResultWrite;
  return CloseOutputFile(context, &target, r);
}

bool MakeMemberFolders(ArchiveContext* context) {
  const char16_t* name = context->memberName;
  if (!MakeParentFolders(name, CheckedLength(context->checkedFolder, name))) return false;
  // The extraction's member callback has looked for links in every existing part.
  RememberCheckedFolder(context->checkedFolder, name);
  return true;
}

ResultCode CopyNextBlock(ArchiveContext* context, uint32_t* count) {
  uint32_t n = context->remaining < kIoBufferSize ? static_cast<uint32_t>(context->remaining) : kIoBufferSize;
  *count = n;
  return CopyBlock(context, n);
}

ResultCode CopyBlock(ArchiveContext* context, uint32_t n) {
  context->remaining -= n;
  if (!ArchiveRead(context, context->ioBuffer, n, &context->bytesRead)) return Fail(context, kResultRead);
  if (context->bytesRead < n) return Fail(context, kResultUnexpectedEnd);
  if (context->outputFile != kInvalidFile &&
      !FileWrite(context->outputFile, context->ioBuffer, n, &context->bytesWritten))
    return Fail(context, kResultWrite);
  return kResultOk;
}
