// Opening an archive for a verb that works on it after listing.
#pragma once

#include "cli/cli.h"

struct OpenedArchive {
  CliSession session;
  uint32_t lastIndex;     // index of the last member listed
  bool anyMember;
  int64_t listedBytes;    // sum of the listed packed sizes: the total a walk accounts for
};

// Every verb but add works on an archive that exists: a missing one is reported (result
// kResultOpen) and nothing is created. True when the archive exists.
bool ArchiveExists(const std::u16string& path, const CliIo& io, bool json);
// Opens and lists ARCHIVE; TAR names as UTF-8 when utf8. Reports a failure and returns it.
ResultCode OpenForVerb(OpenedArchive* opened, const std::u16string& path, bool utf8, const CliIo& io);
// Parses a member index; false when the text is not a plain decimal number.
bool ParseIndex(const std::u16string& text, uint32_t* index);
bool IsOption(const std::u16string& text);
