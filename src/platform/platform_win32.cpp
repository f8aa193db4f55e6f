// Win32 implementation of the platform layer: the calls pass straight through.
#include <windows.h>

#include "platform/platform.h"

namespace {
HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
}  // namespace

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16 on Windows");

FileHandle FileOpen(const char16_t* path, FileAccess access, FileShare share,
                    FileDisposition disposition) {
  if (path == nullptr || FaultFires(kFaultOpen)) return kInvalidFile;
  DWORD desired = 0;
  if (access & kAccessRead) desired |= GENERIC_READ;
  if (access & kAccessWrite) desired |= GENERIC_WRITE;
  DWORD shareMode = 0;
  if (share & kShareRead) shareMode |= FILE_SHARE_READ;
  if (share == kShareReadWrite) shareMode |= FILE_SHARE_WRITE;
  HANDLE h = CreateFileW(W(path), desired, shareMode, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidFile;
  return reinterpret_cast<FileHandle>(h);
}

bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got) {
  *got = 0;
  if (FaultFires(kFaultRead)) return false;
  DWORD n = 0;
  if (!::ReadFile(ToHandle(file), buffer, count, &n, nullptr)) return false;
  *got = n;
  return true;
}

bool FileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* put) {
  *put = 0;
  if (FaultFires(kFaultWrite)) return false;
  DWORD n = 0;
  if (!::WriteFile(ToHandle(file), buffer, count, &n, nullptr)) return false;
  *put = n;
  return n == count;
}

bool FileSeek(FileHandle file, int64_t distance, SeekOrigin origin, uint64_t* newPosition) {
  if (FaultFires(kFaultSeek)) return false;
  LARGE_INTEGER d;
  d.QuadPart = distance;
  LARGE_INTEGER at;
  DWORD method = origin == kSeekBegin ? FILE_BEGIN : origin == kSeekCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(ToHandle(file), d, &at, method)) return false;
  if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(at.QuadPart);
  return true;
}

bool FileGetSize(FileHandle file, uint64_t* size) {
  LARGE_INTEGER s;
  if (!GetFileSizeEx(ToHandle(file), &s)) return false;
  *size = static_cast<uint64_t>(s.QuadPart);
  return true;
}

bool FileTruncate(FileHandle file) {
  if (FaultFires(kFaultTruncate)) return false;
  return SetEndOfFile(ToHandle(file)) != 0;
}

void FileClose(FileHandle file) {
  if (file != kInvalidFile) CloseHandle(ToHandle(file));
}

uint32_t TickCount() { return GetTickCount(); }

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }
