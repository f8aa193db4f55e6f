// A file that replaces an existing one is written beside it and put in its place only when
// the whole member succeeded, so a failing or cancelled member never costs the user an
// existing file. A new file is written in place (no rename) and removed if the member fails.
#pragma once

#include "core/context.h"

struct OutputTarget {
  char16_t temporary[kMemberNameChars + 24];  // empty when the file is written in place
  const char16_t* path;  // where the file goes when it is complete
};

// Creates the file, or the temporary one beside an existing file, and puts its handle in
// outputFile. kResultSave when it cannot.
ResultCode OpenOutputFile(ArchiveContext* context, const char16_t* path, OutputTarget* target);
// Closes outputFile. When result is kResultOk the file takes the target's place (kResultSave
// if it cannot);
// otherwise it is deleted. Returns the result the member ends with.
ResultCode CloseOutputFile(ArchiveContext* context, OutputTarget* target, ResultCode result);
