// Creating the folders above an extracted file.
#pragma once

#include <cstdint>

#include "core/context.h"

// Every folder takes a name and a separator, so a member name holds at most this many.
inline constexpr uint32_t kMaxFolderPrefixes = kMemberNameChars / 2;

// Lengths of the path's leading parts that name folders which may be created, shortest
// first: each ends just behind a separator. Network servers and shares, drive roots and
// the root itself are never among them. Returns how many were stored.
uint32_t FolderPrefixLengths(const char16_t* path, uint32_t* lengths, uint32_t capacity);
// Creates every missing folder named in path (at most kMemberNameChars units) up to its last
// separator. 1 on success, 0 when a folder cannot be created (for example because a file
// stands in its place). The first checked units are known to be folders already.
uint32_t MakeParentFolders(const char16_t* path, uint32_t checked = 0);
// True when the path would be written through a link: any existing folder of a relative
// path, or (with lastToo) the last part of any path, is a symbolic link, junction or mount
// point. Parts that do not exist yet end the check, since nothing below them exists either.
// Folders within the first checked units are known to be no links.
bool PathCrossesLink(const char16_t* path, bool lastToo = true, uint32_t checked = 0);

// The folder part of the last extracted name whose folders all exist and none is a link, so
// that the names after it in the same folder (an archive's usual order) are not checked
// again part by part. Whatever makes or removes a link during the extraction forgets it.
struct CheckedFolder {
  char16_t path[kMemberNameChars];
  uint32_t length;  // 0: nothing known
};
// How many leading units of path lie in checked folders: up to the last separator the path
// shares with the memo; 0 without a memo.
uint32_t CheckedLength(const CheckedFolder* memo, const char16_t* path);
// Keeps path's folder part (up to its last separator) as checked.
void RememberCheckedFolder(CheckedFolder* memo, const char16_t* path);
inline void ForgetCheckedFolder(CheckedFolder* memo) {
  if (memo != nullptr) memo->length = 0;
}
