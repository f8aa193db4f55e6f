// The eight jobs and what they install in the archive context.
#pragma once

#include <cstdint>

#include "core/context.h"
#include "jobs/main_state.h"

enum JobKind : uint32_t {
  kJobOpenAndList = 0,
  kJobAddFile = 1,
  kJobAddFolder = 2,
  kJobExtract = 3,
  kJobTest = 4,
  kJobPrependPrefix = 5,
  kJobTrimPrefix = 6,
  kJobChangeMode = 7,
  kJobKindCount = 8,
};

// Worker bodies: each returns kResultOk and always ends by notifying the done message.
uint32_t RunOpenAndList(MainState* state);
uint32_t RunAddFile(MainState* state);
uint32_t RunAddFolder(MainState* state);
uint32_t RunExtract(MainState* state);
uint32_t RunTest(MainState* state);
uint32_t RunPrependPrefix(MainState* state);
uint32_t RunTrimPrefix(MainState* state);
uint32_t RunChangeMode(MainState* state);

// The body of a kind, or null for a kind outside 0 to 7.
using JobBody = uint32_t (*)(MainState* state);
JobBody JobBodyOf(uint32_t kind);

// Starting a job from the progress dialog: closes the previous worker's handle, sets the
// job running, computes the dialog token and starts the worker. False (with the state idle
// again) when no thread could be started.
bool StartJob(MainState* state, uint32_t kind);
// Reads the selected members into SelectedMembers, before a job starts; false when memory
// is short.
bool TakeSelection(MainState* state);
// True when the member is to be processed: selected, or nothing was selected.
bool IsSelectedMember(const MainState* state, uint32_t memberIndex);
// The first selected member at or after index, memberCount when none: the walk's nextWanted.
uint32_t NextSelectedMember(ArchiveContext* context, uint32_t index);
// A hash of the window and thread handles, differing from one opening to the next.
uint32_t ComputeDialogToken(const MainState* state);

// Progress callbacks: at most one report per kProgressIntervalMs, plus the final state.
inline constexpr uint32_t kProgressIntervalMs = 250;
void FullProgressCallback(const ProgressBlock* block);
void BarProgressCallback(const ProgressBlock* block);
// Member callbacks of extraction and test: 1 processes the member, 0 skips it.
uint32_t ExtractMemberCallback(ArchiveContext* context);
uint32_t TestMemberCallback(ArchiveContext* context);
// TAR link members: a symbolic link is made where it points inside the destination, a hard
// link copies the file its member became. Both answer 0: no data follows.
bool IsLinkMember(const ArchiveContext* context);
uint32_t ExtractLinkMember(MainState* state, ArchiveContext* context);

// Counts a member or item the job leaves out and tells the host, which may name it.
enum LeftOutReason : uint32_t;
void LeaveOut(MainState* state, const char16_t* name, LeftOutReason reason);

// The text after the last "\" or "/".
const char16_t* ItemNameOf(const char16_t* path);
