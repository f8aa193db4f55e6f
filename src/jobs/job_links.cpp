// TAR link members on extraction. A symbolic link is made only where it points inside the
// destination; a hard link becomes a copy of the member it names, which is on the disk by
// then. Either way a later member never writes through a link (see ExtractMemberCallback).
#include "core/folders.h"
#include "core/member_name.h"
#include "core/names.h"
#include "core/output_file.h"
#include "core/output_name.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"

namespace {
bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

// How deep below the destination the member's folder lies; -1 for an absolute path.
int32_t FolderDepth(const char16_t* member) {
  if (IsSeparator(member[0]) || (member[0] != 0 && member[1] == u':')) return -1;
  int32_t depth = 0;
  uint32_t start = 0;
  for (uint32_t i = 0;; ++i) {
    if (member[i] != 0 && !IsSeparator(member[i])) continue;
    if (member[i] == 0) break;  // the last part is the member itself
    uint32_t length = i - start;
    bool dots = length == 2 && member[start] == u'.' && member[start + 1] == u'.';
    bool dot = length == 1 && member[start] == u'.';
    if (dots) depth -= 1;
    else if (length > 0 && !dot) depth += 1;
    if (depth < 0) return -1;
    start = i + 1;
  }
  return depth;
}

// Leading ".." steps may climb no higher than the link's folder is deep. After the first
// name none may follow: it would climb from wherever a link on the way led. No root, no
// drive, no stream.
bool TargetStaysInside(const char16_t* member, const char16_t* target) {
  int32_t depth = FolderDepth(member);
  if (depth < 0 || target[0] == 0 || IsSeparator(target[0])) return false;
  int32_t climbs = 0;
  bool named = false;
  uint32_t start = 0;
  for (uint32_t i = 0;; ++i) {
    if (target[i] == u':') return false;
    if (target[i] != 0 && !IsSeparator(target[i])) continue;
    uint32_t length = i - start;
    bool dots = length == 2 && target[start] == u'.' && target[start + 1] == u'.';
    bool dot = length == 1 && target[start] == u'.';
    if (dots && named) return false;
    if (dots) climbs += 1;
    else if (length > 0 && !dot) named = true;
    if (target[i] == 0) break;
    start = i + 1;
  }
  return climbs <= depth;
}

// The member's own path without the "/" a folder link may end with.
void DropTrailingSeparator(char16_t* name) {
  uint32_t n = WideLength(name);
  while (n > 1 && IsSeparator(name[n - 1])) name[--n] = 0;
}

// The target as a path from the destination: the member's folder, then the target.
bool TargetIsFolder(const char16_t* member, const char16_t* target, char16_t* work) {
  uint32_t folderEnd = 0, n = 0;
  for (uint32_t i = 0; member[i] != 0; ++i)
    if (IsSeparator(member[i])) folderEnd = i + 1;
  for (; n < folderEnd; ++n) work[n] = member[n];
  for (uint32_t i = 0; target[i] != 0 && n + 1 < kMemberNameChars; ++i) work[n++] = target[i];
  work[n] = 0;
  uint32_t attributes = 0;
  return GetPathAttributes(work, &attributes) && (attributes & kAttrDirectory) != 0;
}

// The link replaces what stands at its name (the overwrite question came before).
uint32_t MakeSymbolicLink(MainState* state, ArchiveContext* context, const char16_t* target) {
  char16_t* name = context->memberName;
  DropTrailingSeparator(name);
  if (!TargetStaysInside(name, target)) {
    LeaveOut(state, name, kLeftLinkOutside);
    return 0;
  }
  uint32_t attributes = 0;
  bool taken = GetEntryAttributes(name, &attributes);
  char16_t work[kMemberNameChars];
  bool folder = TargetIsFolder(name, target, work);
  bool made = MakeParentFolders(name) && (!taken || DeletePath(name)) && CreateLink(name, target, folder);
  if (!made) LeaveOut(state, name, kLeftLinkNotMade);
  return 0;
}

ResultCode CopyOpenFile(ArchiveContext* context, FileHandle source) {
  for (;;) {
    uint32_t got = 0;
    if (!FileRead(source, context->ioBuffer, kIoBufferSize, &got)) return Fail(context, kResultRead);
    if (got == 0) return kResultOk;
    if (!FileWrite(context->outputFile, context->ioBuffer, got, &context->bytesWritten)) return Fail(context, kResultWrite);
  }
}

// A copy of the file the linked member became; its own time, as a hard link shares it.
uint32_t CopyLinkedFile(MainState* state, ArchiveContext* context, char16_t* linked) {
  if (state->Options.AnyPath == 0) CleanOutputName(linked, kMemberNameChars);
  uint32_t attributes = 0;
  bool plainFile = GetEntryAttributes(linked, &attributes) && (attributes & (kAttrDirectory | kAttrLink | kAttrDevice)) == 0;
  if (!plainFile || PathCrossesLink(linked)) {
    LeaveOut(state, context->memberName, kLeftLinkedMissing);
    return 0;
  }
  FileHandle source = FileOpen(linked, kAccessRead, kShareRead, kOpenExisting);
  if (source == kInvalidFile) {
    LeaveOut(state, context->memberName, kLeftLinkedMissing);
    return 0;
  }
  OutputTarget target;
  ResultCode r = MakeParentFolders(context->memberName) ? OpenOutputFile(context, context->memberName, &target) : kResultSave;
  if (r == kResultOk) {
    r = CopyOpenFile(context, source);
    if (r == kResultOk && !FileSetWriteTime(context->outputFile, context->entry.modified)) r = kResultWrite;
    r = CloseOutputFile(context, &target, r);
  }
  FileClose(source);
  // The walk goes on with the next member, as for any member left out.
  if (r != kResultOk) {
    context->result = kResultOk;
    LeaveOut(state, context->memberName, kLeftCopyFailed);
  }
  return 0;
}
}  // namespace

bool IsLinkMember(const ArchiveContext* context) {
  return IsTarFormat(context->format) && context->linkTarget.length > 0 && context->entry.size == 0 &&
         (context->entry.attributes & (kAttrLink | kAttrHardLink)) != 0;
}

uint32_t ExtractLinkMember(MainState* state, ArchiveContext* context) {
  char16_t* target = state->LinkTarget;
  // A link made or replaced may stand where a checked folder was.
  ForgetCheckedFolder(context->checkedFolder);
  DecodeStoredName(context->linkTarget, target);
  if ((context->entry.attributes & kAttrLink) != 0) return MakeSymbolicLink(state, context, target);
  return CopyLinkedFile(state, context, target);
}
