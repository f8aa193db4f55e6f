// Extracted files are written beside their target and put in its place only when the whole
// member succeeded, so a failing or cancelled member never costs the user an existing file.
#pragma once

#include "core/context.h"

struct OutputTarget {
  char16_t temporary[kMemberNameChars + 24];
  const char16_t* path;  // where the file goes when it is complete
};

// Creates the temporary file and puts its handle in outputFile. kResultSave when it cannot.
ResultCode OpenOutputFile(ArchiveContext* context, const char16_t* path, OutputTarget* target);
// Closes outputFile. When result is kResultOk the file takes the target's place (kResultSave
// if it cannot);
// otherwise it is deleted. Returns the result the member ends with.
ResultCode CloseOutputFile(ArchiveContext* context, OutputTarget* target, ResultCode result);
