#include "core/folders.h"

#include "platform/platform.h"

namespace {
bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

struct PathClass {
  uint32_t separatorsToPass;  // a folder is created only from this separator on
  uint32_t firstPosition;     // ... and at this character position or behind it
};

PathClass ClassifyPath(const char16_t* path) {
  if (IsSeparator(path[0]) && IsSeparator(path[1])) return {5, 5};  // \\server\share\ stay as they are
  if (IsSeparator(path[0])) return {2, 2};                            // \ is the drive's root
  if (IsLetter(path[0]) && path[1] == u':') return {2, 4};            // C:\ is a drive's root
  return {1, 1};
}

// The path's first length units as a path of their own; false when they do not fit.
bool CopyPrefix(const char16_t* path, uint32_t length, char16_t* work) {
  if (length >= kMemberNameChars) return false;
  for (uint32_t i = 0; i < length; ++i) work[i] = path[i];
  work[length] = 0;
  return true;
}

bool IsRelative(const char16_t* path) {
  PathClass c = ClassifyPath(path);
  return c.separatorsToPass == 1;
}

enum EntryKind : uint32_t { kEntryPlain = 0, kEntryLink = 1, kEntryMissing = 2 };

EntryKind KindOf(const char16_t* path) {
  uint32_t attributes = 0;
  if (!GetEntryAttributes(path, &attributes)) return kEntryMissing;
  return (attributes & kAttrLink) != 0 ? kEntryLink : kEntryPlain;
}

bool FolderExists(const char16_t* path) {
  uint32_t attributes = 0;
  return GetPathAttributes(path, &attributes) && (attributes & kAttrDirectory) != 0;
}
}  // namespace

uint32_t FolderPrefixLengths(const char16_t* path, uint32_t* lengths, uint32_t capacity) {
  if (path[0] == 0) return 0;
  PathClass c = ClassifyPath(path);
  uint32_t separators = 0, count = 0;
  for (uint32_t i = 0; path[i] != 0 && count < capacity; ++i) {
    if (!IsSeparator(path[i])) continue;
    ++separators;
    if (separators >= c.separatorsToPass && i >= c.firstPosition) lengths[count++] = i + 1;
  }
  return count;
}

uint32_t MakeParentFolders(const char16_t* path, uint32_t checked) {
  uint32_t lengths[kMaxFolderPrefixes];
  uint32_t count = FolderPrefixLengths(path, lengths, kMaxFolderPrefixes);
  char16_t work[kMemberNameChars];
  for (uint32_t n = 0; n < count; ++n) {
    if (lengths[n] <= checked) continue;
    if (!CopyPrefix(path, lengths[n], work)) return 0;
    if (!FolderExists(work) && !CreateFolder(work)) return 0;
  }
  return 1;
}

bool PathCrossesLink(const char16_t* path, bool lastToo, uint32_t checked) {
  if (IsRelative(path)) {
    uint32_t lengths[kMaxFolderPrefixes];
    uint32_t count = FolderPrefixLengths(path, lengths, kMaxFolderPrefixes);
    char16_t work[kMemberNameChars];
    for (uint32_t n = 0; n < count; ++n) {
      if (lengths[n] <= checked) continue;
      if (!CopyPrefix(path, lengths[n], work)) return false;
      EntryKind kind = KindOf(work);
      if (kind == kEntryMissing) return false;
      if (kind == kEntryLink) return true;
    }
  }
  return lastToo && KindOf(path) == kEntryLink;
}

uint32_t CheckedLength(const CheckedFolder* memo, const char16_t* path) {
  if (memo == nullptr) return 0;
  uint32_t checked = 0;
  for (uint32_t i = 0; i < memo->length && path[i] == memo->path[i]; ++i)
    if (IsSeparator(path[i])) checked = i + 1;
  return checked;
}

void RememberCheckedFolder(CheckedFolder* memo, const char16_t* path) {
  if (memo == nullptr) return;
  uint32_t length = 0;
  for (uint32_t i = 0; path[i] != 0 && i < kMemberNameChars; ++i)
    if (IsSeparator(path[i])) length = i + 1;
  for (uint32_t i = 0; i < length; ++i) memo->path[i] = path[i];
  memo->length = length;
}
