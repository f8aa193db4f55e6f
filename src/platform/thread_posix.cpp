// Threads, process id, local time and file type names on POSIX.
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "platform/platform.h"

namespace {
struct ThreadStartRecord {
  uint32_t (*body)(void*);
  void* argument;
};

void* RunThread(void* raw) {
  ThreadStartRecord record = *static_cast<ThreadStartRecord*>(raw);
  delete static_cast<ThreadStartRecord*>(raw);
  record.body(record.argument);
  return nullptr;
}

struct PosixThread {
  pthread_t thread;
  bool joined;
};

// What a desktop names the common types; the rest fall back to "XYZ File".
struct TypeNameEntry {
  const char16_t* extension;
  const char16_t* name;
};
constexpr TypeNameEntry kTypeNames[] = {
    {u".txt", u"Text Document"},       {u".md", u"Markdown Document"},
    {u".log", u"Text Document"},       {u".csv", u"CSV Document"},
    {u".htm", u"HTML Document"},       {u".html", u"HTML Document"},
    {u".xml", u"XML Document"},        {u".json", u"JSON File"},
    {u".pdf", u"PDF Document"},        {u".doc", u"Word Document"},
    {u".docx", u"Word Document"},      {u".xls", u"Spreadsheet"},
    {u".xlsx", u"Spreadsheet"},        {u".jpg", u"JPEG Image"},
    {u".jpeg", u"JPEG Image"},         {u".png", u"PNG Image"},
    {u".gif", u"GIF Image"},           {u".bmp", u"Bitmap Image"},
    {u".svg", u"SVG Image"},           {u".mp3", u"MP3 Audio"},
    {u".wav", u"WAV Audio"},           {u".mp4", u"MP4 Video"},
    {u".zip", u"Compressed (zipped) Folder"}, {u".gz", u"GZ Archive"},
    {u".tar", u"TAR Archive"},         {u".qbx", u"Quillbox Archive"},
    {u".exe", u"Application"},         {u".dll", u"Application Extension"},
    {u".c", u"C Source File"},         {u".cpp", u"C++ Source File"},
    {u".h", u"C Header File"},         {u".py", u"Python File"},
    {u".sh", u"Shell Script"},         {u".ini", u"Configuration Settings"},
};

bool SameIgnoringCase(const char16_t* a, const char16_t* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    char16_t x = (*a >= u'A' && *a <= u'Z') ? static_cast<char16_t>(*a + 32) : *a;
    if (x != *b) return false;
  }
  return *a == *b;
}
}  // namespace

ThreadHandle ThreadStart(uint32_t (*body)(void* argument), void* argument, uint32_t* threadId) {
  auto* record = new (std::nothrow) ThreadStartRecord{body, argument};
  auto* thread = new (std::nothrow) PosixThread{};
  if (record == nullptr || thread == nullptr || pthread_create(&thread->thread, nullptr, RunThread, record) != 0) {
    delete record;
    delete thread;
    return kNoThread;
  }
  static uint32_t nextId = 1;
  if (threadId != nullptr) *threadId = __atomic_fetch_add(&nextId, 1, __ATOMIC_RELAXED);
  return reinterpret_cast<ThreadHandle>(thread);
}

void ThreadWait(ThreadHandle thread) {
  auto* t = reinterpret_cast<PosixThread*>(thread);
  if (t == nullptr || t->joined) return;
  pthread_join(t->thread, nullptr);
  t->joined = true;
}

void ThreadClose(ThreadHandle thread) {
  auto* t = reinterpret_cast<PosixThread*>(thread);
  if (t == nullptr) return;
  if (!t->joined) pthread_detach(t->thread);
  delete t;
}

uint32_t ProcessorCount() {
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<uint32_t>(n) : 1;
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

bool FileTimeToLocal(uint64_t fileTime, LocalTime* local) {
  constexpr int64_t kEpoch = 11644473600LL;
  int64_t seconds = static_cast<int64_t>(fileTime / 10000000ULL) - kEpoch;
  time_t t = static_cast<time_t>(seconds);
  struct tm parts;
  if (localtime_r(&t, &parts) == nullptr) return false;
  if (parts.tm_year + 1900 < 1601 || parts.tm_year + 1900 > 30827) return false;
  *local = {static_cast<uint32_t>(parts.tm_year + 1900), static_cast<uint32_t>(parts.tm_mon + 1),
            static_cast<uint32_t>(parts.tm_mday), static_cast<uint32_t>(parts.tm_hour),
            static_cast<uint32_t>(parts.tm_min), static_cast<uint32_t>(parts.tm_sec)};
  return true;
}

bool FileTypeName(const char16_t* extension, char16_t* name, uint32_t capacity) {
  for (const TypeNameEntry& e : kTypeNames) {
    if (!SameIgnoringCase(extension, e.extension)) continue;
    uint32_t n = 0;
    while (e.name[n] != 0 && n + 1 < capacity) {
      name[n] = e.name[n];
      ++n;
    }
    name[n] = 0;
    return n > 0;
  }
  return false;
}
