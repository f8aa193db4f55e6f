#include "jobs/folder_scan.h"

#include <cstring>

#include "core/append.h"
#include "core/append_ahead.h"
#include "core/progress.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"

namespace {
constexpr uint32_t kCountNameIntervalMs = 200;
constexpr uint32_t kMaxFiles = 1u << 30;
constexpr uint64_t kMaxTotalBytes = uint64_t{1} << 60;
constexpr uint64_t kMaxFileBytes = uint64_t{1} << 48;

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

uint32_t Length(const char16_t* text) {
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// The walk joins names with "\" while the archive's path may use "/": both separate.
bool SamePath(const char16_t* a, const char16_t* b) {
  for (; *a != 0 && (*a == *b || (IsSeparator(*a) && IsSeparator(*b))); ++a, ++b) {
  }
  return *a == *b;
}

// Stops the count with ItemPath as the path it could not take.
void RefusePath(FolderScan* scan) {
  MainState* state = scan->Owner;
  state->Host->sendStatusText(state, scan->ItemPath);
  state->Archive.result = kResultFolderOpen;
  scan->Stop = 1;
}

// ItemPath becomes the entry's path (cut when it does not fit).
void TakeEntryPath(FolderScan* scan, uint32_t n) {
  uint32_t k = 0;
  for (; k < n && k + 1 < kScanPathChars; ++k) scan->ItemPath[k] = scan->FolderPath[k];
  for (uint32_t i = 0; scan->Entry.name[i] != 0 && k + 1 < kScanPathChars; ++i) scan->ItemPath[k++] = scan->Entry.name[i];
  scan->ItemPath[k] = 0;
}

void RefuseTooLong(FolderScan* scan, uint32_t n) {
  TakeEntryPath(scan, n);
  RefusePath(scan);
}

// Links are never followed: one to "." or to a parent would loop, and one to another
// place would add files from outside the folder. Devices, pipes and sockets hold no file
// (and a pipe would wait for a writer). The count pass names and counts each.
bool PassOverOddEntry(FolderScan* scan, uint32_t n) {
  uint32_t attributes = scan->Entry.attributes;
  if ((attributes & (kAttrLink | kAttrDevice)) == 0) return false;
  LeftOutReason reason = (attributes & kAttrLink) != 0 ? kLeftLinkItem : kLeftNotAFile;
  if (scan->Visitor == CountVisitor) {
    TakeEntryPath(scan, n);
    LeaveOut(scan->Owner, scan->ItemPath, reason);
  }
  return true;
}

void VisitEntry(FolderScan* scan, uint32_t n) {
  const FolderEntry& e = scan->Entry;
  if (scan->SkipHidden != 0 && (e.attributes & kAttrHidden) != 0) return;
  if (PassOverOddEntry(scan, n)) return;
  scan->NameLength = Length(e.name);
  if (scan->NameLength + n >= kScanPathChars) {
    // Too long a path to add: the count stops the add rather than let it go missing.
    if (scan->Visitor == CountVisitor && (e.name[0] != u'.' || (e.attributes & kAttrDirectory) == 0))
      RefuseTooLong(scan, n);
    return;
  }
  if ((e.attributes & kAttrDirectory) == 0) {
    std::memcpy(scan->ItemPath + n, e.name, (scan->NameLength + 1) * sizeof(char16_t));
    scan->Visitor(scan);
  } else if (e.name[0] != u'.') {
    std::memcpy(scan->FolderPath + n, e.name, (scan->NameLength + 1) * sizeof(char16_t));
    ScanFolder(scan);
    scan->FolderPath[n] = 0;
  }
}
}  // namespace

uint32_t RelativeNameStart(const char16_t* folder, uint32_t baseFolder) {
  uint32_t length = Length(folder);
  uint32_t start = length > 0 && IsSeparator(folder[length - 1]) ? length : length + 1;
  if (baseFolder != 0 && start >= 4) {
    uint32_t i = start - 2;
    while (i > 0 && !IsSeparator(folder[i - 1])) --i;
    start = i;
  }
  return start;
}

void BeginFolderScan(FolderScan* scan, MainState* owner, void (*visitor)(FolderScan*)) {
  if (visitor == CountVisitor) std::memset(static_cast<void*>(scan), 0, sizeof *scan);
  scan->Stop = 0;
  scan->Owner = owner;
  scan->Visitor = visitor;
  scan->SkipHidden = owner->Options.Hidden == 0 ? 1 : 0;
  scan->DepthLeft = kScanDepth;
  scan->ReservedLength = 1;
  uint32_t n = 0;
  for (; owner->JobPath[n] != 0 && n + 1 < kScanPathChars; ++n) scan->FolderPath[n] = owner->JobPath[n];
  scan->FolderPath[n] = 0;
}

void ScanFolder(FolderScan* scan) {
  if (scan->Stop != 0) return;
  uint32_t n = Length(scan->FolderPath);
  // Deeper than the scan goes: the count stops the add and names the folder, rather than
  // leave what is below it out without a word.
  if (scan->DepthLeft < 0) {
    if (scan->Visitor == CountVisitor) {
      std::memcpy(scan->ItemPath, scan->FolderPath, (n + 1) * sizeof(char16_t));
      RefusePath(scan);
    }
    return;
  }
  uint32_t separator = n > 0 && !IsSeparator(scan->FolderPath[n - 1]) ? 1 : 0;
  // A folder without room for a separator and a name: nothing in it could be added, so
  // the count stops the add rather than let the folder go missing.
  if (n + separator + scan->ReservedLength >= kScanPathChars) {
    if (scan->Visitor == CountVisitor) {
      std::memcpy(scan->ItemPath, scan->FolderPath, (n + 1) * sizeof(char16_t));
      RefusePath(scan);
    }
    return;
  }
  if (separator != 0) {
    scan->FolderPath[n++] = u'\\';
    scan->FolderPath[n] = 0;
  }
  std::memcpy(scan->ItemPath, scan->FolderPath, (n + 1) * sizeof(char16_t));
  scan->DepthLeft -= 1;
  FolderSearch search = FolderFirst(scan->FolderPath, &scan->Entry);
  if (search == kNoSearch) {
    scan->DepthLeft += 1;
    return;
  }
  do {
    // Every entry looks at the job state, so a cancel ends even a walk that adds nothing.
    if (WaitWhilePaused(&scan->Owner->Archive) != kResultOk) scan->Stop = 1;
    if (scan->Stop == 0) VisitEntry(scan, n);
    if (scan->Stop != 0) break;
  } while (FolderNext(search, &scan->Entry));
  FolderClose(search);
  scan->DepthLeft += 1;
}

void CountVisitor(FolderScan* scan) {
  MainState* state = scan->Owner;
  ArchiveContext* c = &state->Archive;
  if (SamePath(scan->ItemPath, state->ArchivePath)) return;  // never the archive itself
  uint32_t now = TickCount();
  if (now - state->LastNameTick > kCountNameIntervalMs) {
    state->Host->sendStatusText(state, scan->ItemPath);
    state->LastNameTick = now;
  }
  FileHandle file = FileOpen(scan->ItemPath, kAccessRead, kShareRead, kOpenExisting);
  if (file == kInvalidFile) {
    RefusePath(scan);
  } else {
    scan->FileCount += 1;
    scan->TotalBytes += scan->Entry.size;
    if (scan->FileCount >= kMaxFiles || scan->TotalBytes >= kMaxTotalBytes || scan->Entry.size >= kMaxFileBytes) {
      c->result = kResultLimit;
      scan->Stop = 1;
    }
    FileClose(file);
  }
}

void AddVisitor(FolderScan* scan) {
  MainState* state = scan->Owner;
  ArchiveContext* c = &state->Archive;
  if (SamePath(scan->ItemPath, state->ArchivePath)) return;
  std::memset(state->AddedName, 0, sizeof state->AddedName);
  char16_t* name = state->AddedName;
  uint32_t n = 0;
  for (; scan->ItemPath[n] != 0 && n + 1 < kAddedNameChars; ++n)
    name[n] = scan->ItemPath[n] == u'\\' ? u'/' : scan->ItemPath[n];
  uint32_t start = state->JobParameter < n ? state->JobParameter : n;
  if (AppendFileAhead(c, scan->ItemPath, name + start) != kResultOk || c->jobState.load() == kJobCancelling)
    scan->Stop = 1;
}

void ShowAddedFile(ArchiveContext* context, const char16_t* sourcePath) {
  MainState* state = StateOf(context);
  state->Host->sendStatusText(state, sourcePath);
}
