// POSIX implementation of the platform layer.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/path_posix.h"

namespace {
int ToFd(FileHandle file) { return static_cast<int>(file); }

int OpenFlags(FileAccess access, FileDisposition disposition) {
  int flags = O_CLOEXEC;
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
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || !TakeShareLock(fd, share) ||
      (truncate && ftruncate(fd, 0) != 0)) {
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

void FileClose(FileHandle file) {
  if (file != kInvalidFile) close(ToFd(file));
}

uint32_t TickCount() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t milliseconds) {
  struct timespec ts;
  ts.tv_sec = milliseconds / 1000;
  ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}
