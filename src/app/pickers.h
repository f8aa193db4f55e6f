// The file and folder pickers, reached through one replaceable table so that tests can
// supply the paths a user would choose.
#pragma once

#include <windows.h>

#include <cstdint>

inline constexpr uint32_t kPickerPathChars = 260;

struct FolderRequest {
  HWND owner;
  uint32_t extraFlags;
  const wchar_t* caption;
  const wchar_t* instruction;
  const wchar_t* buttonText;
  char16_t* path;  // kPickerPathChars: in, the folder to start at; out, the chosen one
};

struct PathPickers {
  // An existing file into path (kPickerPathChars); filter as the common dialog takes it.
  bool (*pickFileToOpen)(HWND owner, const wchar_t* filter, char16_t* path, const wchar_t* title);
  bool (*browseForFolder)(FolderRequest* request);
  // The new archive's path, .qbx, .tar or .zip.
  bool (*pickNewArchive)(HWND owner, char16_t* path);
  // Extract's destination (kPickerPathChars): in, the folder to offer; out, the one typed or
  // browsed to, as a full path.
  bool (*pickExtractFolder)(HWND owner, char16_t* path);
};

// The pickers in use; the system's dialogs unless replaced.
const PathPickers* Pickers();
void ReplacePickers(const PathPickers* pickers);
const PathPickers* SystemPickers();

inline constexpr wchar_t kArchiveFilter[] =
    L"All Archives\0*.qbx;*.tar;*.zip;*.epub;*.gz;*.gzip;*.tgz\0Quillbox (.qbx)\0*.qbx\0TAR\0*.tar\0ZIP\0*.zip\0"
    L"GZ (.gz, .gzip, .tgz)\0*.gz;*.gzip;*.tgz\0All Files\0*.*\0";
inline constexpr wchar_t kAllFilesFilter[] = L"All Files\0*.*\0";
