#include "app/pickers.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "app/app_state.h"
#include "app/resource_ids.h"

namespace {
constexpr wchar_t kNewArchiveFilter[] = L"Quillbox (.qbx)\0*.qbx\0TAR (.tar)\0*.tar\0ZIP (.zip)\0*.zip\0";

// The first filter selected, the path buffer, no initial folder.
OPENFILENAMEW FileRequest(HWND owner, const wchar_t* filter, char16_t* path, const wchar_t* title) {
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFilter = filter;
  request.nFilterIndex = 1;
  request.lpstrFile = Wide(path);
  request.nMaxFile = kPickerPathChars;
  request.lpstrTitle = title;
  return request;
}

bool SystemPickFileToOpen(HWND owner, const wchar_t* filter, char16_t* path, const wchar_t* title) {
  DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) path[0] = 0;
  OPENFILENAMEW request = FileRequest(owner, filter, path, title);
  request.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  return GetOpenFileNameW(&request) != 0;
}

bool SystemPickNewArchive(HWND owner, char16_t* path) {
  OPENFILENAMEW request = FileRequest(owner, kNewArchiveFilter, path, L"New Archive");
  request.lpstrDefExt = L"qbx";
  request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
  return GetSaveFileNameW(&request) != 0;
}

// Once the browser is up: its caption, its OK button's text and the folder to start at.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  const auto* request = reinterpret_cast<const FolderRequest*>(data);
  if (request->caption != nullptr) SetWindowTextW(browser, request->caption);
  if (request->buttonText != nullptr) SendMessageW(browser, BFFM_SETOKTEXT, 0, reinterpret_cast<LPARAM>(request->buttonText));
  if (request->path[0] != 0) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(request->path));
  return 0;
}

bool SystemBrowseForFolder(FolderRequest* request) {
  BROWSEINFOW info{};
  info.hwndOwner = request->owner;
  info.lpszTitle = request->instruction;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | request->extraFlags;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(request);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (chosen == nullptr) return false;
  wchar_t folder[MAX_PATH] = {};
  bool ok = SHGetPathFromIDListW(chosen, folder) != 0;
  CoTaskMemFree(chosen);
  if (!ok) return false;
  for (uint32_t i = 0; i < kPickerPathChars; ++i) {
    request->path[i] = static_cast<char16_t>(folder[i]);
    if (folder[i] == 0) break;
  }
  return true;
}

// The Extract dialog: the offered folder in an edit, Browse for the folder browser.
INT_PTR CALLBACK ExtractProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* path = reinterpret_cast<char16_t*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    SetDlgItemTextW(dialog, IDC_EXTRACT_FOLDER, reinterpret_cast<const wchar_t*>(lParam));
    SendDlgItemMessageW(dialog, IDC_EXTRACT_FOLDER, EM_SETLIMITTEXT, kPickerPathChars - 1, 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  const WORD id = LOWORD(wParam);
  wchar_t typed[kPickerPathChars] = {};
  if (id == IDC_EXTRACT_BROWSE) {
    char16_t start[kPickerPathChars] = {};
    GetDlgItemTextW(dialog, IDC_EXTRACT_FOLDER, reinterpret_cast<wchar_t*>(start), kPickerPathChars);
    FolderRequest request{dialog, 0, L"Copy Items",
                          L"Select the place where you want to copy these items, and then click the Copy button.",
                          L"Copy", start};
    if (Pickers()->browseForFolder(&request)) SetDlgItemTextW(dialog, IDC_EXTRACT_FOLDER, reinterpret_cast<wchar_t*>(start));
    return TRUE;
  }
  if (id == IDOK && GetDlgItemTextW(dialog, IDC_EXTRACT_FOLDER, typed, kPickerPathChars) > 0) {
    // A relative name counts from the folder offered, which is the archive's.
    wchar_t full[kPickerPathChars] = {};
    std::wstring joined = PathIsRelativeW(typed) ? std::wstring(reinterpret_cast<const wchar_t*>(path)) + L"\\" + typed : typed;
    const DWORD n = GetFullPathNameW(joined.c_str(), kPickerPathChars, full, nullptr);
    if (n == 0 || n >= kPickerPathChars) return TRUE;
    for (DWORD i = 0; i <= n; ++i) path[i] = static_cast<char16_t>(full[i]);
    EndDialog(dialog, 1);
    return TRUE;
  }
  if (id == IDCANCEL) EndDialog(dialog, 0);
  return TRUE;
}

bool SystemPickExtractFolder(HWND owner, char16_t* path) {
  return DialogBoxParamW(AppInstance(), MAKEINTRESOURCEW(IDD_EXTRACT), owner, ExtractProc,
                         reinterpret_cast<LPARAM>(path)) == 1;
}

constexpr PathPickers kSystemPickers = {SystemPickFileToOpen, SystemBrowseForFolder, SystemPickNewArchive,
                                        SystemPickExtractFolder};
const PathPickers* gPickers = &kSystemPickers;
}  // namespace

const PathPickers* Pickers() { return gPickers; }
void ReplacePickers(const PathPickers* pickers) { gPickers = pickers != nullptr ? pickers : &kSystemPickers; }
const PathPickers* SystemPickers() { return &kSystemPickers; }
