// The main window's commands: each checks its condition, then runs or starts its job.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

void RunCommand(HWND window, uint32_t id);
// The folder "Extract to" makes beside the archive: its name without the extension(s).
std::wstring ExtractFolderName();
// Opens the archive at JobPath in the job dialog; when it opened read-only because an
// interrupted add left its last member incomplete, offers to cut that member away.
void OpenArchiveJob(HWND window);
// The in-place edit of a name ended (LVN_ENDLABELEDITW).
void RenameEditedRow(HWND window, int32_t row, const wchar_t* newText);
// Enter or a double-click on a member: its data in the View dialog, as UTF-8 text when its
// name says it is text, in hex otherwise.
void ViewActivatedRow(HWND window);
// Del: the Delete command after a question that names the member.
void DeleteAfterAsking(HWND window);
// Files and folders dropped on the window, added one after the other as Add File and Add
// Folder add them; on a window without an archive, one dropped file is opened instead.
void AddDroppedItems(HWND window, HDROP drop);
