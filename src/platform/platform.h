// The operating-system services the archive core needs, named after what they do.
// platform_win32.cpp implements them over Win32, platform_posix.cpp over POSIX.
#pragma once

#include <cstdint>

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;  // INVALID_HANDLE_VALUE on Windows

enum FileAccess : uint32_t { kAccessRead = 1, kAccessWrite = 2, kAccessReadWrite = 3 };

// Sharing granted to other openers while this handle is open. On POSIX "none" is an
// exclusive advisory lock and "read" a shared one, so a second exclusive opener fails
// as it would on Windows.
enum FileShare : uint32_t { kShareNone = 0, kShareRead = 1, kShareReadWrite = 3 };

enum FileDisposition : uint32_t {
  kCreateAlways = 2,  // create, or empty an existing file
  kOpenExisting = 3,
  kOpenAlways = 4,    // open, or create a missing file
  kCreateNew = 1,     // create; fail when the file exists
};

enum SeekOrigin : uint32_t { kSeekBegin = 0, kSeekCurrent = 1, kSeekEnd = 2 };

// Paths are UTF-16 with a terminating zero. On POSIX they become UTF-8 and "\" separates
// folders just like "/".
FileHandle FileOpen(const char16_t* path, FileAccess access, FileShare share,
                    FileDisposition disposition);
// Reads up to count bytes; *got below count means the end of the file.
bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got);
// Writes count bytes; *put below count is a failure.
bool FileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* put);
// Moves the position; newPosition may be null.
bool FileSeek(FileHandle file, int64_t distance, SeekOrigin origin, uint64_t* newPosition);
bool FileGetSize(FileHandle file, uint64_t* size);
// Cuts the file at its current position.
bool FileTruncate(FileHandle file);
// Waits until what was written is on the disk itself.
bool FileFlush(FileHandle file);
void FileClose(FileHandle file);

// Copies up to count bytes from the current position of one file to that of the other,
// inside the kernel where the system can (buffer is the fallback's staging area, count bytes
// at least). *copied may fall short of count before the source ends; 0 means it has ended.
enum CopyOutcome : uint32_t { kCopyOk = 0, kCopyReadFailed = 1, kCopyWriteFailed = 2 };
CopyOutcome FileCopyRange(FileHandle from, FileHandle to, uint32_t count, uint8_t* buffer,
                          uint32_t* copied);

// Sets only the last-write time (FILETIME) of an open file.
bool FileSetWriteTime(FileHandle file, uint64_t fileTime);
// The Windows file attribute bits, on every system.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrDevice = 0x40;  // not a file: a device, pipe or socket
// A symbolic link, junction or mount point itself (on Windows only the reparse points that
// name another place: a cloud placeholder is a file like any other).
inline constexpr uint32_t kAttrLink = 0x400;
inline constexpr uint32_t kAttrNotContentIndexed = 0x2000;

// Windows attributes, size and last-write time (FILETIME) of an open file.
struct FileFacts {
  uint32_t attributes;
  uint64_t size;
  uint64_t modified;
};
// path is the name the file was opened by (POSIX takes the hidden attribute from it).
bool FileGetFacts(FileHandle file, const char16_t* path, FileFacts* facts);

// Paths. Attribute bits are the Windows ones; on POSIX read-only means no write permission,
// hidden a name starting with ".", and regular files carry the archive bit.
bool GetPathAttributes(const char16_t* path, uint32_t* attributes);
// The same for the path's last part as it stands, without following it: a link gives
// kAttrLink (with kAttrDirectory when it names a folder). False when nothing is there.
bool GetEntryAttributes(const char16_t* path, uint32_t* attributes);
bool SetPathAttributes(const char16_t* path, uint32_t attributes);
bool CreateFolder(const char16_t* path);
// Makes a symbolic link at path to target, a path relative to the link's folder ("/" or
// "\\" between its parts); folder says the target is a folder (Windows makes the two kinds
// differently). False when the system refuses (Windows without the right to make links).
bool CreateLink(const char16_t* path, const char16_t* target, bool folder);
bool DeletePath(const char16_t* path);
// Moves a file over another one, replacing it (both in the same folder).
bool MoveFileOver(const char16_t* from, const char16_t* to);
// The "Zone.Identifier" stream of a file: the mark a browser puts on a download, which makes
// Windows warn before running what came from the internet. ReadZoneMark gives up to
// capacity bytes (*length is the stream's whole size, which may be more); both are false
// where there is no such stream (always on POSIX).
bool ReadZoneMark(const char16_t* path, uint8_t* buffer, uint32_t capacity, uint32_t* length);
bool WriteZoneMark(const char16_t* path, const uint8_t* data, uint32_t length);
// Bytes available to the caller on the volume holding the folder.
bool GetFreeDiskBytes(const char16_t* folder, uint64_t* bytes);
bool SetCurrentFolder(const char16_t* path);
// The current folder with a terminating zero; false when it does not fit.
bool GetCurrentFolder(char16_t* path, uint32_t capacity);

// One entry of a folder listing.
struct FolderEntry {
  char16_t name[260];
  uint32_t attributes;
  uint64_t size;
  uint64_t modified;
};
using FolderSearch = intptr_t;
inline constexpr FolderSearch kNoSearch = -1;
// Lists the entries of folder (without "." and ".."); the first one comes with the search.
// A link is listed as itself (kAttrLink), never as what it points at.
FolderSearch FolderFirst(const char16_t* folder, FolderEntry* entry);
bool FolderNext(FolderSearch search, FolderEntry* entry);
void FolderClose(FolderSearch search);

// Worker threads: started at once with default stack; the handle stays valid until closed.
using ThreadHandle = intptr_t;
inline constexpr ThreadHandle kNoThread = 0;
ThreadHandle ThreadStart(uint32_t (*body)(void* argument), void* argument, uint32_t* threadId);
void ThreadWait(ThreadHandle thread);
void ThreadClose(ThreadHandle thread);
// Processors this process may run on, at least 1.
uint32_t ProcessorCount();
uint32_t CurrentProcessId();

// A FILETIME as local calendar time in the current time zone; false when out of range.
struct LocalTime {
  uint32_t year, month, day, hour, minute, second;
};
bool FileTimeToLocal(uint64_t fileTime, LocalTime* local);

// The system's friendly name of a file type (extension with its dot), such as
// "Text Document"; false when the system knows none.
bool FileTypeName(const char16_t* extension, char16_t* name, uint32_t capacity);

// Upper-cases count units in place, one unit for one ("\u00DF" stays), in every script.
void UpperCaseText(char16_t* text, uint32_t count);

// Bytes up to the first zero (at most count) in the OEM code page into count + 1 units: the
// system's own on Windows, code page 437 on POSIX.
void OemToWide(const uint8_t* bytes, uint32_t count, char16_t* out);

// 32-bit millisecond counter from a monotonic clock (wraps after about 49.7 days).
uint32_t TickCount();
void SleepMs(uint32_t milliseconds);

// Fault injection for tests: makes the Nth call (counted from 1 after arming) of an
// operation fail. The count is shared by all threads; 0 disarms.
enum FaultOp : uint32_t {
  kFaultWrite = 0,
  kFaultSeek,
  kFaultTruncate,
  kFaultSetTime,
  kFaultRead,
  kFaultOpen,
  kFaultFreeSpace,    // the volume cannot tell its free space
  kFaultVolumeFull,   // the volume reports no free space
  kFaultFlush,
  kFaultOpCount
};
void ArmFault(FaultOp op, uint32_t nth);
void DisarmFaults();
// True when this call of op is the one that must fail; called by both implementations.
bool FaultFires(FaultOp op);
// Clock injection for tests: TickCount runs milliseconds further ahead from now on (it
// never goes back, so no running measurement sees time flow backwards).
void AdvanceTicks(uint32_t milliseconds);
// What AdvanceTicks added so far; both implementations add it to their clock.
uint32_t TicksAdvanced();
