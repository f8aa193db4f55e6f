#include "support/make_link.h"

#include <string>

#ifdef _WIN32
#include <windows.h>

namespace {
using UnixNameOf = char* (*)(const wchar_t* dosName);

// Wine's own export: the host path of a Windows one (null on Windows itself).
UnixNameOf WineUnixName() {
  return reinterpret_cast<UnixNameOf>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
}

std::string HostPath(UnixNameOf unixName, const std::filesystem::path& path) {
  char* name = unixName(std::filesystem::absolute(path).wstring().c_str());
  std::string text = name != nullptr ? name : "";
  if (name != nullptr) HeapFree(GetProcessHeap(), 0, name);
  return text;
}

bool EntryExists(const std::filesystem::path& path) {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(path.wstring().c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return true;
}

// Wine runs host programs too. They give it no exit code: the entry showing up (or going
// away) is the answer.
bool RunHostTool(const wchar_t* tool, const std::string& arguments, const std::filesystem::path& entry, bool appears) {
  std::wstring command = std::wstring(tool) + L" " + std::wstring(arguments.begin(), arguments.end());
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(tool, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
    return false;
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  for (int tries = 0; tries < 100; ++tries) {
    if (EntryExists(entry) == appears) return true;
    Sleep(20);
  }
  return false;
}

// The link's own host path: its folder's, and its name (a link's path would be followed).
std::string HostLinkPath(UnixNameOf unixName, const std::filesystem::path& link) {
  std::string folder = HostPath(unixName, link.parent_path());
  return folder.empty() ? folder : folder + "/" + link.filename().string();
}
}  // namespace

bool TestLinks::Make(const std::filesystem::path& target, const std::filesystem::path& link) {
  made.push_back(link);
  if (UnixNameOf unixName = WineUnixName())
    return RunHostTool(L"Z:\\bin\\ln", "-s " + HostPath(unixName, target) + " " + HostLinkPath(unixName, link), link,
                       true);
  DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (std::filesystem::is_directory(target)) flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
  return CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(), flags) != 0;
}

TestLinks::~TestLinks() {
  UnixNameOf unixName = WineUnixName();
  for (const auto& link : made) {
    if (unixName != nullptr) {
      RunHostTool(L"Z:\\bin\\rm", "-f " + HostLinkPath(unixName, link), link, false);
    } else if (!DeleteFileW(link.wstring().c_str())) {
      RemoveDirectoryW(link.wstring().c_str());
    }
  }
}

bool FileLinksShowAsLinks() { return WineUnixName() == nullptr; }
#else
bool TestLinks::Make(const std::filesystem::path& target, const std::filesystem::path& link) {
  made.push_back(link);
  std::error_code error;
  std::filesystem::create_symlink(target, link, error);
  return !error;
}

TestLinks::~TestLinks() {
  std::error_code error;
  for (const auto& link : made) std::filesystem::remove(link, error);
}

bool FileLinksShowAsLinks() { return true; }
#endif
