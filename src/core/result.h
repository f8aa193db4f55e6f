// Outcome codes of every archive operation and the messages shown for them.
#pragma once

#include <cstdint>

// Stored as 32 bits: the numbers are what users and scripts see (exit status, messages).
enum ResultCode : uint32_t {
  kResultOk = 0,
  kResultCancelled = 1,
  kResultEndOfMembers = 2,  // header readers only: the archive ended
  kResultEmptyBlock = 3,    // header readers only: a zero block was read
  kResultNoCallback = 6,
  kResultNoMemory = 7,
  kResultNotFound = 9,
  kResultLimit = 10,
  kResultThread = 11,
  kResultWindow = 12,
  kResultOpen = 14,
  kResultRead = 15,
  kResultSave = 16,
  kResultWrite = 17,
  kResultDiskFull = 18,
  kResultNotArchive = 19,
  kResultNewerVersion = 20,
  kResultChecksum = 21,
  kResultUnexpectedEnd = 23,
  kResultFormat = 24,
  kResultUnsupportedMethod = 26,
  kResultPassword = 35,
  kResultFolderOpen = 45,
  kResultNameDoesNotFit = 46,  // an in-place rename whose name needs more room than the header has
  kResultNotAFile = 47,        // a device, pipe or socket given to add
  kResultLinkInPath = 48,      // members not extracted: a link in their path, or a link member left out
  kResultNameLengthFixed = 49,  // a ZIP rename whose name takes a different number of bytes than the old one
  kResultNameChangesType = 50,  // a ZIP rename that would make a folder a file or a file a folder
};

// Title and text of the message shown for a code; null for 0 and 1, which show nothing.
const char16_t* ResultTitle(ResultCode code);
const char16_t* ResultText(ResultCode code);
