// Win32 implementation of the platform layer: the calls pass straight through, long paths
// in their long form.
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace {
HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// Folder paths from MAX_PATH - 12 characters on (a new folder must leave room for an 8.3
// name) reach the file system only in the "\\?\" form, which takes a full path with "\"
// separators and no "." or ".." parts: GetFullPathNameW makes one from any path.
constexpr size_t kShortPathLimit = MAX_PATH - 12;
constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

struct SystemPath {
  const wchar_t* given;
  std::wstring longForm;  // empty when the given path serves
  const wchar_t* text() const { return longForm.empty() ? given : longForm.c_str(); }
};

SystemPath ToSystemPath(const char16_t* path) {
  const wchar_t* given = W(path);
  if (wcslen(given) < kShortPathLimit || wcsncmp(given, kLongPrefix, 4) == 0) return {given, {}};
  DWORD need = GetFullPathNameW(given, 0, nullptr, nullptr);
  std::wstring full(need, L'\0');
  DWORD n = need == 0 ? 0 : GetFullPathNameW(given, need, full.data(), nullptr);
  if (n == 0 || n >= need) return {given, {}};
  full.resize(n);
  bool unc = full.size() > 2 && full[0] == L'\\' && full[1] == L'\\';
  return {given, unc ? kLongUncPrefix + full.substr(2) : kLongPrefix + full};
}
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
  HANDLE h = CreateFileW(ToSystemPath(path).text(), desired, shareMode, nullptr, disposition,
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

CopyOutcome FileCopyRange(FileHandle from, FileHandle to, uint32_t count, uint8_t* buffer,
                          uint32_t* copied) {
  *copied = 0;
  uint32_t got = 0, put = 0;
  if (!FileRead(from, buffer, count, &got)) return kCopyReadFailed;
  if (got > 0 && !FileWrite(to, buffer, got, &put)) return kCopyWriteFailed;
  *copied = got;
  return kCopyOk;
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

bool FileFlush(FileHandle file) {
  if (FaultFires(kFaultFlush)) return false;
  return FlushFileBuffers(ToHandle(file)) != 0;
}

void FileClose(FileHandle file) {
  if (file != kInvalidFile) CloseHandle(ToHandle(file));
}

uint32_t TickCount() { return GetTickCount() + TicksAdvanced(); }

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

bool FileSetWriteTime(FileHandle file, uint64_t fileTime) {
  if (FaultFires(kFaultSetTime)) return false;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  return SetFileTime(ToHandle(file), nullptr, nullptr, &ft) != 0;
}

bool FileGetFacts(FileHandle file, const char16_t*, FileFacts* facts) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(ToHandle(file), &info)) return false;
  facts->attributes = info.dwFileAttributes;
  if (GetFileType(ToHandle(file)) != FILE_TYPE_DISK) facts->attributes |= kAttrDevice;  // console, pipe, NUL
  facts->size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  facts->modified = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                    info.ftLastWriteTime.dwLowDateTime;
  return true;
}

bool GetPathAttributes(const char16_t* path, uint32_t* attributes) {
  DWORD a = GetFileAttributesW(ToSystemPath(path).text());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  *attributes = a;
  return true;
}

namespace {
// Reparse tags with this bit name another place (symbolic links, junctions, mount points);
// the others (cloud placeholders, deduplicated files) are files like any other. A reparse
// point without its tag (Wine shows host links so) counts as a link: the safe side.
constexpr DWORD kNameSurrogateTag = 0x20000000;

uint32_t EntryAttributes(DWORD attributes, DWORD reparseTag) {
  uint32_t a = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT);
  bool link = reparseTag == 0 || (reparseTag & kNameSurrogateTag) != 0;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && link) a |= kAttrLink;
  return a;
}
}  // namespace

bool GetEntryAttributes(const char16_t* path, uint32_t* attributes) {
  std::wstring p(ToSystemPath(path).text());
  // "link\" would name what the link points at, and FindFirstFile refuses it.
  while (p.size() > 1 && (p.back() == L'\\' || p.back() == L'/') && p[p.size() - 2] != L':') p.pop_back();
  DWORD a = GetFileAttributesW(p.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  if ((a & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    *attributes = a;
    return true;
  }
  // Only the directory listing tells the reparse tag; when it cannot be read, the safe side
  // is to call it a link.
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW(p.c_str(), &d);
  DWORD tag = kNameSurrogateTag;
  if (h != INVALID_HANDLE_VALUE) {
    tag = d.dwReserved0;
    FindClose(h);
  }
  *attributes = EntryAttributes(a, tag);
  return true;
}

bool SetPathAttributes(const char16_t* path, uint32_t attributes) {
  return SetFileAttributesW(ToSystemPath(path).text(), attributes) != 0;
}

bool CreateFolder(const char16_t* path) { return CreateDirectoryW(ToSystemPath(path).text(), nullptr) != 0; }

bool CreateLink(const char16_t* path, const char16_t* target, bool folder) {
  // A relative link resolves only with Windows separators.
  std::wstring t;
  for (const char16_t* c = target; *c != 0; ++c) t += *c == u'/' ? L'\\' : static_cast<wchar_t>(*c);
  DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
  if (CreateSymbolicLinkW(ToSystemPath(path).text(), t.c_str(), flags) == 0) return false;
  // Some systems (Wine) say yes and make nothing.
  uint32_t attributes = 0;
  return GetEntryAttributes(path, &attributes) && (attributes & kAttrLink) != 0;
}

bool DeletePath(const char16_t* path) { return DeleteFileW(ToSystemPath(path).text()) != 0; }

bool MoveFileOver(const char16_t* from, const char16_t* to) {
  return MoveFileExW(ToSystemPath(from).text(), ToSystemPath(to).text(), MOVEFILE_REPLACE_EXISTING) != 0;
}

namespace {
std::wstring ZoneStreamOf(const char16_t* path) {
  return std::wstring(ToSystemPath(path).text()) + L":Zone.Identifier";
}
}  // namespace

bool ReadZoneMark(const char16_t* path, uint8_t* buffer, uint32_t capacity, uint32_t* length) {
  HANDLE h = CreateFileW(ZoneStreamOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  DWORD got = 0;
  bool ok = GetFileSizeEx(h, &size) != 0 && size.QuadPart <= 0xFFFFFFFF &&
            ReadFile(h, buffer, capacity, &got, nullptr) != 0;
  CloseHandle(h);
  *length = ok ? static_cast<uint32_t>(size.QuadPart) : 0;
  return ok && got == (*length < capacity ? *length : capacity);
}

bool WriteZoneMark(const char16_t* path, const uint8_t* data, uint32_t length) {
  HANDLE h = CreateFileW(ZoneStreamOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(h, data, length, &put, nullptr) != 0 && put == length;
  CloseHandle(h);
  return ok;
}

bool GetFreeDiskBytes(const char16_t* folder, uint64_t* bytes) {
  if (FaultFires(kFaultFreeSpace)) return false;
  if (FaultFires(kFaultVolumeFull)) {
    *bytes = 0;
    return true;
  }
  ULARGE_INTEGER available;
  const wchar_t* where = folder != nullptr && folder[0] != 0 ? W(folder) : nullptr;
  if (!GetDiskFreeSpaceExW(where, &available, nullptr, nullptr)) return false;
  *bytes = available.QuadPart;
  return true;
}

bool SetCurrentFolder(const char16_t* path) { return SetCurrentDirectoryW(W(path)) != 0; }

bool GetCurrentFolder(char16_t* path, uint32_t capacity) {
  DWORD n = GetCurrentDirectoryW(capacity, reinterpret_cast<wchar_t*>(path));
  return n != 0 && n < capacity;
}

namespace {
bool IsDotEntry(const WIN32_FIND_DATAW& d) {
  return d.cFileName[0] == L'.' && (d.cFileName[1] == 0 || (d.cFileName[1] == L'.' && d.cFileName[2] == 0));
}

void CopyEntry(const WIN32_FIND_DATAW& d, FolderEntry* entry) {
  static_assert(sizeof entry->name == sizeof d.cFileName);
  for (size_t i = 0; i < 260; ++i) entry->name[i] = static_cast<char16_t>(d.cFileName[i]);
  entry->attributes = EntryAttributes(d.dwFileAttributes, d.dwReserved0);
  entry->size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  entry->modified = (static_cast<uint64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) |
                    d.ftLastWriteTime.dwLowDateTime;
}

bool NextReal(HANDLE h, WIN32_FIND_DATAW* d) {
  while (FindNextFileW(h, d))
    if (!IsDotEntry(*d)) return true;
  return false;
}
}  // namespace

FolderSearch FolderFirst(const char16_t* folder, FolderEntry* entry) {
  std::wstring pattern(ToSystemPath(folder).text());
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW(pattern.c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return kNoSearch;
  if (IsDotEntry(d) && !NextReal(h, &d)) {
    FindClose(h);
    return kNoSearch;
  }
  CopyEntry(d, entry);
  return reinterpret_cast<FolderSearch>(h);
}

bool FolderNext(FolderSearch search, FolderEntry* entry) {
  WIN32_FIND_DATAW d;
  if (!NextReal(reinterpret_cast<HANDLE>(search), &d)) return false;
  CopyEntry(d, entry);
  return true;
}

void FolderClose(FolderSearch search) {
  if (search != kNoSearch) FindClose(reinterpret_cast<HANDLE>(search));
}
