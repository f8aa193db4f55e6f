// Threads, process id, local time and file type names on Windows.
#include <windows.h>
#include <process.h>
#include <shlwapi.h>

#include <new>

#include "platform/platform.h"

namespace {
struct ThreadStartRecord {
  uint32_t (*body)(void*);
  void* argument;
};

unsigned __stdcall RunThread(void* raw) {
  ThreadStartRecord record = *static_cast<ThreadStartRecord*>(raw);
  delete static_cast<ThreadStartRecord*>(raw);
  return record.body(record.argument);
}
}  // namespace

ThreadHandle ThreadStart(uint32_t (*body)(void* argument), void* argument, uint32_t* threadId) {
  auto* record = new (std::nothrow) ThreadStartRecord{body, argument};
  if (record == nullptr) return kNoThread;
  unsigned id = 0;
  uintptr_t h = _beginthreadex(nullptr, 0, RunThread, record, 0, &id);
  if (h == 0) {
    delete record;
    return kNoThread;
  }
  if (threadId != nullptr) *threadId = id;
  return static_cast<ThreadHandle>(h);
}

void ThreadWait(ThreadHandle thread) {
  if (thread != kNoThread) WaitForSingleObject(reinterpret_cast<HANDLE>(thread), INFINITE);
}

void ThreadClose(ThreadHandle thread) {
  if (thread != kNoThread) CloseHandle(reinterpret_cast<HANDLE>(thread));
}

uint32_t ProcessorCount() {
  const DWORD n = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return n > 0 ? n : 1;
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

bool FileTimeToLocal(uint64_t fileTime, LocalTime* local) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  SYSTEMTIME utc, st;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &st)) return false;
  *local = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  return true;
}

bool FileTypeName(const char16_t* extension, char16_t* name, uint32_t capacity) {
  DWORD size = capacity;
  HRESULT hr = AssocQueryStringW(0, ASSOCSTR_FRIENDLYDOCNAME, reinterpret_cast<const wchar_t*>(extension),
                                 nullptr, reinterpret_cast<wchar_t*>(name), &size);
  return SUCCEEDED(hr) && name[0] != 0;
}
