// The one application record: the archive context, the job inputs, the list's counters,
// the settings and the prompt answers. Window and thread handles are opaque values here.
#pragma once

#include <cstdint>

#include "core/context.h"
#include "core/folders.h"
#include "core/member_name.h"
#include "jobs/list_columns.h"
#include "platform/platform.h"

struct JobHost;

using WindowHandle = uintptr_t;

struct Settings {
  uint32_t AnyPath;
  uint32_t BaseFolder;
  uint32_t Hidden;
  uint32_t Unicode;
  uint32_t ZipLevel;  // kCompress...: how hard members added to a ZIP are compressed
};

// Counters of the member list; always cleared as one block.
struct ListTotals {
  uint32_t RowCount;
  uint32_t SelectedCount;
  uint32_t ListedCount;
  uint32_t CurrentMember;
  uint32_t LastMemberIndex;
  uint32_t OpenMemberCount;
  uint64_t RowSize;
  uint64_t RowExtractedSize;
  uint64_t SelectedSize;
  uint64_t SelectedExtractedSize;
  uint64_t TotalSize;
  uint64_t TotalExtractedSize;
  uint64_t OpenEndOffset;
};

inline constexpr uint32_t kTypeCacheSize = 96;
inline constexpr uint32_t kTypeTextChars = 33;

struct TypeCacheEntry {
  uint32_t hash;
  char16_t firstCharacter;
  char16_t text[kTypeTextChars];
};

struct TypeCache {
  TypeCacheEntry entries[kTypeCacheSize];
  uint32_t nextSlot;
};

inline constexpr uint32_t kArchivePathChars = 260;
inline constexpr uint32_t kJobPathChars = 360;
// Room for the path of a file a folder add finds: the chosen folder and a member name.
inline constexpr uint32_t kAddedNameChars = kJobPathChars + kMaxNameBytes;
// The longest ZIP password, in bytes; its buffer holds a terminator behind it.
inline constexpr uint32_t kPasswordMaxBytes = 255;
inline constexpr uint32_t kStatusBarChars = 64;
inline constexpr uint32_t kZoneMarkBytes = 16384;
inline constexpr uint32_t kMaxRows = 0x7FFFF;
inline constexpr uint32_t kNoMember = 0x7FFFFFFF;

struct MainState {
  const char16_t* ProductName;
  ArchiveContext Archive;
  WindowHandle Instance;
  uint32_t ProcessId;
  WindowHandle MainWindow;
  WindowHandle ListView;
  WindowHandle StatusBar;
  WindowHandle ProgressDialog;
  WindowHandle CancelDialog;
  WindowHandle PromptDialog;
  WindowHandle StatusText;
  WindowHandle ContextMenu, PrefixMenu, TrimMenu, ModeMenu, ViewDataMenu, ViewHeaderMenu;
  uintptr_t SelectionTimer;
  ThreadHandle WorkerThread;
  uint32_t WorkerThreadId;
  uint32_t DialogToken;
  ListTotals Totals;
  int32_t StatusBarHeight;
  int32_t CurrentRow;
  uint32_t SortColumn;
  int32_t SortDirection;
  int32_t WindowWidth, WindowHeight;
  uint32_t Dpi;
  uint32_t BulkSelect;
  Settings Options;
  uint32_t OverwriteAnswer;
  uint32_t PasswordAnswer;
  uint32_t JobParameter;
  // What the job in work left out: members an extraction refused (a link in their path),
  // items a folder add passed over (links, devices, pipes). Its outcome gives the count.
  uint32_t LeftOutCount;
  uint32_t ViewFlags, ViewKind, ViewPage, ViewWidth;
  char16_t ArchivePath[kArchivePathChars];
  // The job's input: the archive to open, the folder to extract into, the file or folder
  // to add, or the prefix to prepend.
  char16_t JobPath[kJobPathChars];
  // The member an extraction or test is at, shown when the job fails.
  char16_t WorkMemberName[kMemberNameChars];
  // The target of the TAR link member in work during an extraction.
  char16_t LinkTarget[kMemberNameChars];
  // The name and one cell text of the row being filled by a listing or an edit.
  char16_t RowName[kMemberNameChars];
  char16_t CellText[kCellChars];
  // The name a folder add gives the file it appends.
  char16_t AddedName[kAddedNameChars];
  // The ZIP password as the user typed it, in ANSI bytes; wiped when the job's dialog ends.
  uint8_t Password[kPasswordMaxBytes + 1];
  char16_t StatusBarText[kStatusBarChars];
  // The archive's Zone.Identifier stream during an extraction (see ArchiveContext::zoneMark).
  uint8_t ZoneMark[kZoneMarkBytes];
  // The folders the extraction in work has made or checked.
  CheckedFolder ExtractFolders;
  TypeCache Types;
  // The throttles' last ticks, shared by every job of the run.
  uint32_t LastProgressTick;
  uint32_t LastNameTick;
  // How the jobs reach the user interface.
  const JobHost* Host;
  void* HostUser;
  // Member offsets of the open archive, one per member index.
  uint64_t* MemberOffsets;
  // The members selected when the job in work started, a bit per member index (read once,
  // so that the walk never asks the list); AllMembers when no row was selected.
  uint64_t* SelectedMembers;
  uint32_t SelectedMemberWords;
  bool AllMembers;
};

inline constexpr uint32_t kMemberOffsetCapacity = 524288;

// Zeroes the record and wires it: context paths and owner, defaults, offsets.
// formats is the table of every format's operations. Returns false when memory is short.
bool InitMainState(MainState* state, const FormatOps* formats, const JobHost* host, void* hostUser);
void FreeMainState(MainState* state);

// Clears the list counters as one block.
void ResetListTotals(MainState* state);

inline MainState* StateOf(ArchiveContext* context) { return static_cast<MainState*>(context->owner); }
inline MainState* StateOf(const ProgressBlock* block) {
  return reinterpret_cast<MainState*>(static_cast<uintptr_t>(block->userValue));
}
