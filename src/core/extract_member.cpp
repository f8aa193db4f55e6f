#include "core/extract.h"
#include "core/folders.h"
#include "core/output_file.h"

ResultCode ExtractMemberFile(ArchiveContext* context, ResultCode (*copy)(ArchiveContext*)) {
  if (!MakeParentFolders(context->memberName)) return Fail(context, kResultSave);
  OutputTarget target;
  if (OpenOutputFile(context, context->memberName, &target) != kResultOk) return context->result;
  ResultCode r = copy(context);
  // The member's time goes on last: writing would move it again.
  if (r == kResultOk && !FileSetWriteTime(context->outputFile, context->entry.modified))
    r = kResultWrite;
  return CloseOutputFile(context, &target, r);
}
