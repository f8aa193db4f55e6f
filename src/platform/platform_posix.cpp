// POSIX implementation of the platform layer.
#include <fcntl.h>
#include <sys/file.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/path_posix.h"

namespace {
int ToFd(FileHandle file) { return static_cast<int>(file); }

int OpenFlags(FileAccess access, FileDisposition disposition) {
  // Non-blocking while opening: a FIFO would otherwise wait for a writer that never comes.
  // A file created here is a new regular file: nothing to wait for or to check.
  int flags = O_CLOEXEC | (disposition == kCreateNew ? 0 : O_NONBLOCK);
  if (access == kAccessReadWrite) flags |= O_RDWR;
  else if (access == kAccessWrite) flags |= O_WRONLY;
  else flags |= O_RDONLY;
  switch (disposition) {
    case kCreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case kCreateNew: flags |= O_CREAT | O_EXCL; break;
    case kOpenAlways: flags |= O_CREAT; break;
    case kOpenExisting: break;
  }
  return flags;
}

// Windows refuses a conflicting open; the advisory lock gives the same answer here.
bool TakeShareLock(int fd, FileShare share) {
  if (share == kShareReadWrite) return true;
  int op = (share == kShareNone ? LOCK_EX : LOCK_SH) | LOCK_NB;
  int rc;
  do rc = flock(fd, op); while (rc != 0 && errno == EINTR);
  return rc == 0;
}
}  // namespace

FileHandle FileOpen(const char16_t* path, FileAccess access, FileShare share,
                    FileDisposition disposition) {
  if (path == nullptr || FaultFires(kFaultOpen)) return kInvalidFile;
  std::string p = PosixPath(path);
  if (p.empty()) return kInvalidFile;
  // Truncation must wait for the lock, or a refused opener would empty a file in use.
  bool truncate = disposition == kCreateAlways;
  int flags = OpenFlags(access, disposition) & ~(truncate ? O_TRUNC : 0);
  int fd;
  do fd = open(p.c_str(), flags, 0666); while (fd < 0 && errno == EINTR);
  if (fd < 0) return kInvalidFile;
  if (disposition == kCreateNew) {
    if (TakeShareLock(fd, share)) return fd;
    close(fd);
    return kInvalidFile;
  }
  struct stat st;
  // Reads and writes of a regular file never wait, so only other files lose O_NONBLOCK.
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || !TakeShareLock(fd, share) ||
      (truncate && ftruncate(fd, 0) != 0) ||
      (!S_ISREG(st.st_mode) && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
    close(fd);
    return kInvalidFile;
  }
  return fd;
}

bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got) {
  *got = 0;
  if (FaultFires(kFaultRead)) return false;
  auto* out = static_cast<unsigned char*>(buffer);
  while (*got < count) {
    ssize_t n = read(ToFd(file), out + *got, count - *got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    *got += static_cast<uint32_t>(n);
  }
  return true;
}

bool FileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* put) {
  *put = 0;
  if (FaultFires(kFaultWrite)) return false;
  const auto* in = static_cast<const unsigned char*>(buffer);
  while (*put < count) {
    ssize_t n = write(ToFd(file), in + *put, count - *put);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    *put += static_cast<uint32_t>(n);
  }
  return *put == count;
}

namespace {
CopyOutcome CopyThroughBuffer(FileHandle from, FileHandle to, uint32_t count, uint8_t* buffer,
                              uint32_t done, uint32_t* copied) {
  uint32_t got = 0, put = 0;
  if (!FileRead(from, buffer, count - done, &got)) return kCopyReadFailed;
  if (got > 0 && !FileWrite(to, buffer, got, &put)) return kCopyWriteFailed;
  *copied = done + got;
  return kCopyOk;
}
}  // namespace

CopyOutcome FileCopyRange(FileHandle from, FileHandle to, uint32_t count, uint8_t* buffer,
                          uint32_t* copied) {
  *copied = 0;
  if (FaultFires(kFaultRead)) return kCopyReadFailed;
  if (FaultFires(kFaultWrite)) return kCopyWriteFailed;
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = copy_file_range(ToFd(from), nullptr, ToFd(to), nullptr, count - done, 0);
    if (n < 0 && errno == EINTR) continue;
    // Not every pair of files can be copied in the kernel: take the ordinary way.
    if (n < 0) return CopyThroughBuffer(from, to, count, buffer, done, copied);
    // A short copy is most often the end of the source: the caller asks again to be sure.
    if (n == 0 || (done += static_cast<uint32_t>(n)) < count) break;
  }
  *copied = done;
  return kCopyOk;
}

bool FileSeek(FileHandle file, int64_t distance, SeekOrigin origin, uint64_t* newPosition) {
  if (FaultFires(kFaultSeek)) return false;
  int whence = origin == kSeekBegin ? SEEK_SET : origin == kSeekCurrent ? SEEK_CUR : SEEK_END;
  off_t at = lseek(ToFd(file), static_cast<off_t>(distance), whence);
  if (at < 0) return false;
  if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(at);
  return true;
}

bool FileGetSize(FileHandle file, uint64_t* size) {
  struct stat st;
  if (fstat(ToFd(file), &st) != 0) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool FileTruncate(FileHandle file) {
  if (FaultFires(kFaultTruncate)) return false;
  off_t at = lseek(ToFd(file), 0, SEEK_CUR);
  return at >= 0 && ftruncate(ToFd(file), at) == 0;
}

bool FileFlush(FileHandle file) {
  if (FaultFires(kFaultFlush)) return false;
  int rc;
  do rc = fsync(ToFd(file)); while (rc != 0 && errno == EINTR);
  return rc == 0;
}

void FileClose(FileHandle file) {
  if (file != kInvalidFile) close(ToFd(file));
}

uint32_t TickCount() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms) + TicksAdvanced();
}

void SleepMs(uint32_t milliseconds) {
  struct timespec ts;
  ts.tv_sec = milliseconds / 1000;
  ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

namespace {
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr int64_t kUnixEpochInFileTime = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

uint64_t FileTimeOf(const struct timespec& t) {
  return static_cast<uint64_t>((static_cast<int64_t>(t.tv_sec) + kUnixEpochInFileTime) * kTicksPerSecond +
                               t.tv_nsec / 100);
}

uint32_t AttributesOf(const struct stat& st, const std::string& path) {
  uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
  else if (S_ISREG(st.st_mode)) a |= kAttrArchive;
  else a |= kAttrDevice;  // FIFO, socket, character or block device
  if ((st.st_mode & kWriteBits) == 0) a |= kAttrReadOnly;
  size_t slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.size() > 1 && base[0] == '.' && base != "..") a |= kAttrHidden;
  return a;
}

}  // namespace

bool FileSetWriteTime(FileHandle file, uint64_t fileTime) {
  if (FaultFires(kFaultSetTime)) return false;
  int64_t ticks = static_cast<int64_t>(fileTime) - kUnixEpochInFileTime * kTicksPerSecond;
  int64_t seconds = ticks / kTicksPerSecond;
  int64_t rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = static_cast<long>(rest * 100);
  return futimens(ToFd(file), times) == 0;
}

bool FileGetFacts(FileHandle file, const char16_t* path, FileFacts* facts) {
  struct stat st;
  if (fstat(ToFd(file), &st) != 0) return false;
  facts->attributes = AttributesOf(st, PosixPath(path));
  facts->size = static_cast<uint64_t>(st.st_size);
  facts->modified = FileTimeOf(st.st_mtim);
  return true;
}

bool GetPathAttributes(const char16_t* path, uint32_t* attributes) {
  std::string p = PosixPath(path);
  struct stat st;
  if (p.empty() || stat(p.c_str(), &st) != 0) return false;
  *attributes = AttributesOf(st, p);
  return true;
}

namespace {
// A link as itself; kAttrDirectory tells what it names when that exists.
uint32_t LinkAttributes(const std::string& path) {
  struct stat target;
  uint32_t a = kAttrLink;
  if (stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) a |= kAttrDirectory;
  return a;
}
}  // namespace

bool GetEntryAttributes(const char16_t* path, uint32_t* attributes) {
  std::string p = PosixPath(path);
  // "link/" would name what the link points at.
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st;
  if (p.empty() || lstat(p.c_str(), &st) != 0) return false;
  *attributes = S_ISLNK(st.st_mode) ? LinkAttributes(p) : AttributesOf(st, p);
  return true;
}

bool SetPathAttributes(const char16_t* path, uint32_t attributes) {
  std::string p = PosixPath(path);
  struct stat st;
  if (p.empty() || stat(p.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (attributes & kAttrReadOnly) mode &= ~kWriteBits;
  else if ((mode & kWriteBits) == 0) mode |= S_IWUSR;
  // Hidden and system have no POSIX form: the name decides what is hidden.
  return mode == (st.st_mode & 07777) || chmod(p.c_str(), mode) == 0;
}

bool CreateFolder(const char16_t* path) {
  std::string p = PosixPath(path);
  return !p.empty() && mkdir(p.c_str(), 0777) == 0;
}

bool CreateLink(const char16_t* path, const char16_t* target, bool) {
  std::string p = PosixPath(path), t = PosixPath(target);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return !p.empty() && !t.empty() && symlink(t.c_str(), p.c_str()) == 0;
}

bool DeletePath(const char16_t* path) {
  std::string p = PosixPath(path);
  return !p.empty() && unlink(p.c_str()) == 0;
}

bool MoveFileOver(const char16_t* from, const char16_t* to) {
  std::string f = PosixPath(from), t = PosixPath(to);
  return !f.empty() && !t.empty() && rename(f.c_str(), t.c_str()) == 0;
}

// POSIX file systems keep no such mark.
bool ReadZoneMark(const char16_t*, uint8_t*, uint32_t, uint32_t*) { return false; }
bool WriteZoneMark(const char16_t*, const uint8_t*, uint32_t) { return false; }

bool GetFreeDiskBytes(const char16_t* folder, uint64_t* bytes) {
  if (FaultFires(kFaultFreeSpace)) return false;
  if (FaultFires(kFaultVolumeFull)) {
    *bytes = 0;
    return true;
  }
  std::string p = PosixPath(folder);
  struct statvfs sv;
  if (statvfs(p.empty() ? "." : p.c_str(), &sv) != 0) return false;
  *bytes = static_cast<uint64_t>(sv.f_bavail) * sv.f_frsize;
  return true;
}

bool SetCurrentFolder(const char16_t* path) {
  std::string p = PosixPath(path);
  return !p.empty() && chdir(p.c_str()) == 0;
}

bool GetCurrentFolder(char16_t* path, uint32_t capacity) {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) == nullptr) return false;
  std::u16string wide = WidePath(buffer);
  if (wide.size() + 1 > capacity) return false;
  std::copy(wide.begin(), wide.end(), path);
  path[wide.size()] = 0;
  return true;
}

namespace {
struct PosixSearch {
  DIR* dir;
  std::string folder;
};

bool ReadEntry(PosixSearch* s, FolderEntry* entry) {
  while (struct dirent* d = readdir(s->dir)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    std::string full = s->folder + "/" + name;
    struct stat st;
    // Relative to the open folder: the system need not walk the whole path again.
    if (fstatat(dirfd(s->dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    std::u16string wide = WidePath(name);
    if (wide.size() >= sizeof entry->name / sizeof entry->name[0]) continue;
    std::copy(wide.begin(), wide.end(), entry->name);
    entry->name[wide.size()] = 0;
    bool link = S_ISLNK(st.st_mode);
    entry->attributes = link ? LinkAttributes(full) : AttributesOf(st, full);
    entry->size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    entry->modified = FileTimeOf(st.st_mtim);
    return true;
  }
  return false;
}
}  // namespace

FolderSearch FolderFirst(const char16_t* folder, FolderEntry* entry) {
  std::string p = PosixPath(folder);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  DIR* dir = opendir(p.empty() ? "." : p.c_str());
  if (dir == nullptr) return kNoSearch;
  auto* s = new PosixSearch{dir, p};
  if (!ReadEntry(s, entry)) {
    closedir(dir);
    delete s;
    return kNoSearch;
  }
  return reinterpret_cast<FolderSearch>(s);
}

bool FolderNext(FolderSearch search, FolderEntry* entry) {
  return ReadEntry(reinterpret_cast<PosixSearch*>(search), entry);
}

void FolderClose(FolderSearch search) {
  if (search == kNoSearch) return;
  auto* s = reinterpret_cast<PosixSearch*>(search);
  closedir(s->dir);
  delete s;
}
