// Cutting away the incomplete last member that an interrupted add leaves behind (a process
// killed while it copied): otherwise the archive stays read-only for good.
#pragma once

#include "core/context.h"

// What FindTornTail made of the end of the archive.
enum TailState : uint32_t {
  kTailTorn = 0,            // only the last member is wrong: it runs past the end of the file
  kTailWhole = 1,           // no member runs past the end
  kTailReadOnlyFormat = 2,  // ZIP or GZ, whose tails are never cut
  kTailDamaged = 3,         // the listing stopped at damage that an incomplete end does not explain
};

struct TornTail {
  TailState state;
  uint32_t memberIndex;  // the index the incomplete member has, or would have, in the list
  uint64_t offset;       // where its header material begins (pax and long-name records too)
  uint64_t written;      // its bytes in the file: from offset to the end
  uint64_t claimed;      // the bytes its header material, data and closing take; 0 when the
                         // header itself is cut short
  char16_t name[kMemberNameChars];  // empty when the header is cut short
};

// Looks at the end of an archive OpenArchive has listed: kResultOk when the last member is
// incomplete and everything before it listed cleanly, kResultSave when there is nothing to
// cut (state says why; the context's result is left alone), kResultOpen without an open
// archive, kResultRead when the header cannot be read again. Moves the file position.
ResultCode FindTornTail(ArchiveContext* context, TornTail* tail);
// Finds the torn tail again and cuts the archive where it begins (a TAR gets its two zero
// blocks back), then flushes; the archive is then open for writing, ending with the
// members before it. kResultSave when there is nothing to cut or the file cannot be opened
// for writing: the archive stays open as it was. A failure never leaves it worse: as it
// was, cut at the offset without its TAR end blocks (which lists cleanly too), or cut
// whole when only the flush failed.
ResultCode RepairTornTail(ArchiveContext* context, TornTail* tail);
