// Reaching a ZIP file's members through its central directory, for the archives whose local
// headers cannot be walked from the file's start: a program stub in front of them, or
// padding between them.
#pragma once

#include <cstdint>

#include "core/context.h"
#include "zip/zip_header.h"

// The end record lies in the last bytes: its fixed part and the longest comment.
inline constexpr uint32_t kZipTailBytes = 22 + 65535;

// Where the central directory lies, and how the offsets it gives map onto the file.
struct ZipDirectory {
  uint64_t start;  // the first central header
  uint64_t end;    // where the central headers end: the ZIP64 end record or the end record
  uint64_t count;  // entries the end record announces
  // Added to every offset the directory gives: the bytes in front of the archive that its
  // writer did not count (a stub prepended without fixing the offsets), else 0.
  int64_t shift;
};

// One central header, its offset already shifted onto the file.
struct ZipCentralEntry {
  uint32_t crc32;
  uint64_t compressedSize;
  uint64_t uncompressedSize;
  uint64_t localOffset;
  bool sizesValid;  // false: sizes no file can have
};

// The directory and the next central header to read.
struct ZipDirectoryCursor {
  ZipDirectory directory;
  uint64_t next;
  uint64_t index;
  bool active;  // the members come from here, not from the walk
};

// Finds the end record at the very end of the file (its comment reaching the last byte),
// the ZIP64 end record its locator points to, and a central header where the directory
// starts: at the offset the records give, or where the directory must start to end at the
// end record (the offsets then are all off by one shift). tail holds kZipTailBytes.
// kResultOk found, kResultNotFound none, kResultRead read failure.
ResultCode FindZipDirectory(FileHandle file, uint64_t fileSize, uint8_t* tail, ZipDirectory* directory);

// Replaces each of the three values left at all ones in a central header's fixed part by the
// next 8 bytes of the ZIP64 field in its extra field, in the note's order. False when a
// value needs the field and it lacks it.
bool WidenFromZip64(const uint8_t* extra, uint32_t extraLength, uint64_t* size, uint64_t* compressed,
                    uint64_t* offset);

// Reads count bytes at offset: kResultOk, kResultRead, or shortResult when the file ends first.
ResultCode ReadZipAt(FileHandle file, uint64_t offset, uint8_t* into, uint32_t count, ResultCode shortResult);

// Reads the central header at cursor->next into entry and moves the cursor behind it.
// kResultOk; kResultEndOfMembers every announced entry was read; kResultFormat no central
// header there, or it reaches past the directory or points outside the members' room;
// kResultRead, kResultUnexpectedEnd.
ResultCode ReadZipCentralEntry(ArchiveContext* context, ZipDirectoryCursor* cursor, ZipCentralEntry* entry);

// Decides whether the members from index `walked` on come from the directory, once the walk
// of the local headers stopped at offset `stop` on something that is not a member. They do
// when the file holds a directory (FindZipDirectory) that names more than `walked` members,
// the first `walked` of them lying in front of stop and every later one at or behind it and
// in front of the directory. Then the cursor is active at entry `walked`: kResultOk. Else
// kResultNotFound; kResultRead or kResultCancelled as they come.
ResultCode EnterZipDirectory(ArchiveContext* context, uint32_t walked, uint64_t stop,
                             ZipDirectoryCursor* cursor);

// Reads the next member through the directory: its central header, then the local header
// it points to (name, flags, extra field, into header and the context's entry). Sizes and
// CRC-32 come from the central header where the local one defers them (a data descriptor
// follows the data, or ZIP64 sizes the local header lacks). position is the member's first
// byte; the file is left at its data. Codes as ReadZipCentralEntry; kResultFormat also when
// no local header is where the directory says.
ResultCode ReadZipDirectoryMember(ArchiveContext* context, ZipDirectoryCursor* cursor,
                                  ZipLocalHeader* header);

// The walk's results that mean "no member here" rather than "the members are over": the
// directory may still know more.
inline bool WalkLostMembers(ResultCode r) { return r == kResultFormat || r == kResultUnexpectedEnd; }
