#include "app/commands.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/drag_out.h"
#include "app/member_list.h"
#include "app/pickers.h"
#include "app/progress_dialog.h"
#include "app/resource_ids.h"
#include "app/view_dialog.h"
#include "app/window_memory.h"
#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"
#include "core/folders.h"
#include "core/repair.h"
#include "jobs/jobs.h"
#include "jobs/member_rows.h"
#include "jobs/text_names.h"
#include "viewer/view_mode.h"

namespace {
constexpr uint32_t kModes[] = {0777, 0775, 0755, 0750, 0700, 0666, 0664, 0644, 0640, 0600};
constexpr uint32_t kFolderChars = 259;

MainState* S() { return App(); }
bool OneSelected() { return S()->Totals.SelectedCount == 1; }
bool AnySelected() { return S()->Totals.SelectedCount != 0; }

void ClearJobPath() { std::memset(S()->JobPath, 0, sizeof S()->JobPath); }

// The folder of the open archive, up to its last separator; empty without one.
// The archive's folder as a full path, without a closing separator unless it is a root:
// the folder browser under Wine starts at the drive when given "C:\\folder\\".
std::wstring ArchiveFolder() {
  wchar_t full[MAX_PATH] = {};
  const DWORD n = GetFullPathNameW(Wide(S()->ArchivePath), MAX_PATH, full, nullptr);
  std::wstring path = n > 0 && n < MAX_PATH ? full : Wide(S()->ArchivePath);
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return L"";
  const bool root = separator == 0 || (separator == 2 && path[1] == L':');
  return path.substr(0, root ? separator + 1 : separator);
}

void ArchiveFolderIntoJobPath() {
  MainState* s = S();
  ClearJobPath();
  const std::wstring folder = ArchiveFolder();
  if (folder.size() < kFolderChars) std::memcpy(s->JobPath, folder.c_str(), folder.size() * sizeof(char16_t));
}

// "x" for x.zip, x.tar and x.tar.gz: the folder Extract to names.
std::wstring ArchiveStem() {
  std::wstring name = Wide(S()->ArchivePath);
  const size_t separator = name.find_last_of(L"\\/");
  if (separator != std::wstring::npos) name = name.substr(separator + 1);
  for (int pass = 0; pass < 2; ++pass) {
    const size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos || dot == 0) break;
    const bool tar = CompareStringOrdinal(name.c_str() + dot, -1, L".tar", -1, TRUE) == CSTR_EQUAL;
    if (pass == 1 && !tar) break;
    name.resize(dot);
  }
  return name;
}

bool PickFile(HWND window, const wchar_t* filter, const wchar_t* title) {
  ClearJobPath();
  return Pickers()->pickFileToOpen(window, filter, S()->JobPath, title);
}

bool BrowseFolder(HWND window, uint32_t flags, const wchar_t* caption, const wchar_t* instruction,
                  const wchar_t* button) {
  ArchiveFolderIntoJobPath();
  FolderRequest request{window, flags, caption, instruction, button, S()->JobPath};
  return Pickers()->browseForFolder(&request);
}

// The archive now open goes first in the File menu's list, by its full path.
void RememberOpenArchive() {
  MainState* s = S();
  if (!HasArchive()) return;
  wchar_t full[MAX_PATH];
  const DWORD n = GetFullPathNameW(Wide(s->ArchivePath), MAX_PATH, full, nullptr);
  RememberArchive(&Memory(), n > 0 && n < MAX_PATH ? full : Wide(s->ArchivePath));
  SaveRecentArchives(Memory());
}

void StartExtract(HWND window) {
  MainState* s = S();
  s->OverwriteAnswer = 0;
  s->PasswordAnswer = 0;
  RunJobDialog(window, kJobExtract);
}

// Into the archive's folder, or into a folder named after the archive beside it (made when
// missing); the prompts and the job are Extract's.
void ExtractBeside(HWND window, bool ownFolder) {
  MainState* s = S();
  std::wstring folder = ArchiveFolder();
  if (ownFolder) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    folder += ArchiveStem();
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  if (folder.empty() || folder.size() >= kFolderChars) {
    ShowResultDialog(window, kResultSave);
    return;
  }
  ClearJobPath();
  std::memcpy(s->JobPath, folder.c_str(), folder.size() * sizeof(char16_t));
  StartExtract(window);
}

// The Extract dialog offers the folder extracted into last in this run, or the archive's;
// a folder typed that does not exist yet is made.
void ExtractToChosenFolder(HWND window) {
  MainState* s = S();
  std::wstring& last = Memory().lastExtractFolder;
  ClearJobPath();
  const std::wstring offered = last.empty() ? ArchiveFolder() : last;
  if (offered.size() < kFolderChars) std::memcpy(s->JobPath, offered.c_str(), offered.size() * sizeof(char16_t));
  if (!Pickers()->pickExtractFolder(window, s->JobPath)) return;
  last = Wide(s->JobPath);
  if (!MakeParentFolders((std::u16string(s->JobPath) + u"\\").c_str())) {
    ShowResultDialog(window, kResultSave);
    return;
  }
  StartExtract(window);
}

void NewArchive(HWND window) {
  MainState* s = S();
  ClearJobPath();
  if (!Pickers()->pickNewArchive(window, s->JobPath)) return;
  ClearList();
  std::memset(s->ArchivePath, 0, sizeof s->ArchivePath);
  std::memcpy(s->ArchivePath, s->JobPath, (kArchivePathChars - 1) * sizeof(char16_t));
  s->Archive.onMember = AddRowCallback;
  s->Archive.headerCodePage = s->Options.Unicode != 0 ? kCodePageUtf8 : 0;
  OpenArchive(&s->Archive, 1);
  RefreshArchiveView();
  RememberOpenArchive();
  ShowResult(window);
}

void CloseArchiveCommand() {
  MainState* s = S();
  ClearList();
  std::memset(s->ArchivePath, 0, sizeof s->ArchivePath);
  CloseArchive(&s->Archive);
  RefreshArchiveView();
}

void ReopenArchive(HWND window) {
  MainState* s = S();
  ClearJobPath();
  std::memcpy(s->JobPath, s->ArchivePath, sizeof s->ArchivePath);
  RunJobDialog(window, kJobOpenAndList);
}

void Revert(HWND window) {
  MainState* s = S();
  if (AskConfirm(window, kRevertQuestion) != kDialogYes) return;
  if (RevertAdditions(&s->Archive, s->Totals.OpenMemberCount, s->Totals.OpenEndOffset) != kResultOk) {
    ShowResult(window);
    return;
  }
  ReopenArchive(window);
}

// Yes cuts the member away and lists the archive again, writable now; No keeps it read-only.
void OfferRepair(HWND window) {
  MainState* s = S();
  TornTail tail;
  if (!HasArchive() || IsWritable() || FindTornTail(&s->Archive, &tail) != kResultOk) return;
  if (AskCutTornTail(window, tail) != kDialogYes) return;
  if (RepairTornTail(&s->Archive, &tail) != kResultOk) ShowResult(window);
  // Listed again either way: the rows must show the archive as the cut, or its failure, left it.
  ReopenArchive(window);
}

void DeleteLast(HWND window) {
  MainState* s = S();
  s->Archive.onMember = RemoveRowCallback;
  DeleteLastMember(&s->Archive, s->Totals.CurrentMember);
  ShowResult(window);
}

void StartRename() {
  MainState* s = S();
  SetFocus(Hwnd(s->ListView));
  SendMessageW(Hwnd(s->ListView), LVM_EDITLABELW, IndexParam(s->CurrentRow), 0);
}

void Prepend(HWND window) {
  if (AskPrefix(window) == 1 && S()->JobPath[0] != 0) RunJobDialog(window, kJobPrependPrefix);
}

void RunArchiveCommand(HWND window, uint32_t id) {
  MainState* s = S();
  bool idle = IsIdle();
  switch (id) {
    case CMD_NEW_ARCHIVE:
      if (idle) NewArchive(window);
      return;
    case CMD_OPEN_ARCHIVE:
      if (idle && PickFile(window, kArchiveFilter, L"Open Archive")) OpenArchiveJob(window);
      return;
    case CMD_CLOSE_ARCHIVE:
      if (idle && HasArchive()) CloseArchiveCommand();
      return;
    case CMD_REVERT_ARCHIVE:
      if (idle && IsWritable() && HasAdditions() && HasRows()) Revert(window);
      return;
    case CMD_ADD_FILE:
    case CMD_ROW_ADD_FILE:
      if (idle && IsWritable() && PickFile(window, kAllFilesFilter, L"Add File")) RunJobDialog(window, kJobAddFile);
      return;
    case CMD_ADD_FOLDER:
      if (idle && IsWritable() &&
          BrowseFolder(window, BIF_NONEWFOLDERBUTTON, L"Add Items",
                       L"Select the folder that you want to add, and then click the Add button.", L"Add"))
        RunJobDialog(window, kJobAddFolder);
      return;
    case CMD_EXTRACT:
    case CMD_ROW_EXTRACT:
      if (idle && HasArchive() && HasRows()) ExtractToChosenFolder(window);
      return;
    case CMD_ROW_EXTRACT_HERE:
    case CMD_ROW_EXTRACT_TO:
      if (idle && HasArchive() && HasRows()) ExtractBeside(window, id == CMD_ROW_EXTRACT_TO);
      return;
    case CMD_TEST:
    case CMD_ROW_TEST:
      if (idle && HasArchive() && HasRows()) {
        s->PasswordAnswer = 0;
        RunJobDialog(window, kJobTest);
      }
      return;
    default:
      return;
  }
}

void RunRowCommand(HWND window, uint32_t id) {
  MainState* s = S();
  bool idle = IsIdle(), writable = IsWritable();
  if (id == CMD_ROW_DELETE) {
    RefreshCurrentMember();
    if (idle && writable && OneSelected() && s->Totals.CurrentMember == s->Totals.LastMemberIndex) DeleteLast(window);
  } else if (id == CMD_ROW_RENAME) {
    if (OneSelected()) StartRename();
  } else if (id == CMD_ROW_PREPEND) {
    if (idle && writable && AnySelected()) Prepend(window);
  } else if (id >= CMD_ROW_MODE_FIRST && id <= CMD_ROW_MODE_LAST) {
    if (!idle || !writable || !IsTar() || !AnySelected()) return;
    s->JobParameter = kModes[id - CMD_ROW_MODE_FIRST];
    RunJobDialog(window, kJobChangeMode);
  } else if ((id >= CMD_ROW_VIEW_FIRST && id <= CMD_ROW_VIEW_LAST) || id == CMD_ROW_VIEW_STORED) {
    RefreshCurrentMember();
    if (idle && HasArchive() && OneSelected() && s->Totals.CurrentMember != kNoMember)
      RunViewDialog(window, id == CMD_ROW_VIEW_STORED ? uint32_t{kViewStoredHex} : id - CMD_ROW_VIEW_FIRST);
  } else if (id > CMD_ROW_TRIM_BASE && id <= CMD_ROW_TRIM_LAST) {
    if (!idle || !writable || !AnySelected()) return;
    s->JobParameter = id - CMD_ROW_TRIM_BASE;
    RunJobDialog(window, kJobTrimPrefix);
  }
}
}  // namespace

std::wstring ExtractFolderName() { return ArchiveStem(); }

void OpenArchiveJob(HWND window) {
  S()->Archive.openOuter = 0;
  RunJobDialog(window, kJobOpenAndList);
  RememberOpenArchive();
  OfferRepair(window);
}

void OpenRecent(HWND window, size_t index) {
  MainState* s = S();
  WindowMemory& memory = Memory();
  if (!IsIdle() || index >= memory.recent.size()) return;
  const std::wstring path = memory.recent[index];
  // One that is gone leaves the list, with the message an open of it would give.
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES || path.size() >= kJobPathChars) {
    ForgetRecent(&memory, index);
    SaveRecentArchives(memory);
    ShowResultDialog(window, kResultOpen);
    return;
  }
  ClearJobPath();
  std::memcpy(s->JobPath, path.c_str(), path.size() * sizeof(char16_t));
  OpenArchiveJob(window);
}

void RunCommand(HWND window, uint32_t id) {
  MainState* s = S();
  switch (id) {
    case CMD_PREFERENCES: ShowPreferences(window); return;
    case CMD_EXIT: PostMessageW(window, WM_CLOSE, 0, 0); return;
    case CMD_SELECT_ALL:
      if (s->Totals.SelectedCount != s->Totals.RowCount) SelectAll();
      return;
    case CMD_DESELECT_ALL:
      if (AnySelected()) DeselectAll();
      return;
    case CMD_INVERT_SELECTION: InvertSelection(); return;
    case CMD_SORT_UNSORTED: SortBy(kUnsorted); return;
    case CMD_ABOUT: ShowAbout(window); return;
    case CMD_DELETE_ASKING: DeleteAfterAsking(window); return;
    case CMD_VIEW_ACTIVATED: ViewActivatedRow(window); return;
    case CMD_DRAG_OUT:
      if (IsIdle() && HasRows()) StartDragOut(window);
      return;
    case CMD_OPEN_OUTER:
      // The TAR's gzip file as one member, to extract or view the TAR itself.
      if (IsIdle() && s->Archive.format == kFormatTarGz) {
        s->Archive.openOuter = 1;
        ReopenArchive(window);
      }
      return;
    default: break;
  }
  if (id >= CMD_RECENT_FIRST && id <= CMD_RECENT_LAST) {
    OpenRecent(window, id - CMD_RECENT_FIRST);
  } else if (id >= CMD_SORT_NAME && id < CMD_SORT_UNSORTED) {
    SortBy(id - CMD_SORT_NAME);
  } else if (id >= CMD_NEW_ARCHIVE && id <= CMD_TEST) {
    RunArchiveCommand(window, id);
  } else if ((id >= CMD_ROW_ADD_FILE && id <= CMD_ROW_TEST) || id == CMD_ROW_EXTRACT_HERE || id == CMD_ROW_EXTRACT_TO) {
    RunArchiveCommand(window, id);
  } else if ((id > CMD_ROW_TEST && id <= CMD_ROW_TRIM_LAST) || id == CMD_ROW_VIEW_STORED) {
    RunRowCommand(window, id);
  }
}

void ViewActivatedRow(HWND window) {
  MainState* s = S();
  RefreshCurrentMember();
  if (!IsIdle() || !HasArchive() || !OneSelected() || s->Totals.CurrentMember == kNoMember) return;
  char16_t name[kMemberNameChars];
  ReadCell(s->CurrentRow, kColumnName, name, kMemberNameChars);
  RunViewDialog(window, IsTextName(name) ? kViewUtf8 : kViewDataHex);
}

void DeleteAfterAsking(HWND window) {
  MainState* s = S();
  RefreshCurrentMember();
  if (!IsIdle() || !IsWritable() || !OneSelected() || s->Totals.CurrentMember != s->Totals.LastMemberIndex) return;
  char16_t name[kMemberNameChars];
  ReadCell(s->CurrentRow, kColumnName, name, kMemberNameChars);
  if (AskDeleteMember(window, name) == kDialogYes) DeleteLast(window);
}

namespace {
// The dropped path in JobPath; false when it does not fit.
bool TakeDroppedPath(HDROP drop, UINT index) {
  MainState* s = S();
  const UINT length = DragQueryFileW(drop, index, nullptr, 0);
  if (length == 0 || length >= kJobPathChars) return false;
  std::memset(s->JobPath, 0, sizeof s->JobPath);
  DragQueryFileW(drop, index, Wide(s->JobPath), kJobPathChars);
  return true;
}
}  // namespace

void AddDroppedItems(HWND window, HDROP drop) {
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  if (!IsIdle()) return;
  // On an empty window one dropped file is an archive to open, as a double-click would.
  if (!HasArchive() && count == 1) {
    if (TakeDroppedPath(drop, 0)) OpenArchiveJob(window);
    return;
  }
  if (!IsWritable()) {
    ShowResultDialog(window, kResultSave);
    return;
  }
  for (UINT i = 0; i < count && IsWritable(); ++i) {
    if (!TakeDroppedPath(drop, i)) {
      ShowResultDialog(window, kResultLimit);
      continue;
    }
    uint32_t attributes = 0;
    const bool folder = GetPathAttributes(S()->JobPath, &attributes) && (attributes & kAttrDirectory) != 0;
    RunJobDialog(window, folder ? kJobAddFolder : kJobAddFile);
  }
}

void RenameEditedRow(HWND window, int32_t row, const wchar_t* newText) {
  MainState* s = S();
  if (!IsIdle() || !IsWritable() || !OneSelected() || newText == nullptr) return;
  s->CurrentRow = row;
  RefreshCurrentMember();
  if (s->Totals.CurrentMember == kNoMember) return;
  s->Archive.onMember = UpdateRowCallback;
  if (RenameMember(&s->Archive, s->Totals.CurrentMember, reinterpret_cast<const char16_t*>(newText)) == kResultOk)
    SortList();
  ShowResult(window);
}
