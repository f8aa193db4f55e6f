#include "jobs/main_state.h"

#include <cstring>
#include <new>

#include "core/archive.h"

bool InitMainState(MainState* state, const FormatOps* formats, const JobHost* host, void* hostUser) {
  std::memset(static_cast<void*>(state), 0, sizeof *state);
  state->ProductName = u"Quillbox";
  InitArchiveContext(&state->Archive, formats);
  state->Archive.archivePath = state->ArchivePath;
  state->Archive.password = state->Password;
  state->Archive.owner = state;
  state->Archive.progressUser = reinterpret_cast<uintptr_t>(state);
  state->ProcessId = CurrentProcessId();
  state->SortColumn = kUnsorted;
  state->SortDirection = 1;
  state->Dpi = 96;
  state->CurrentRow = -1;
  state->Totals.CurrentMember = kNoMember;
  state->Host = host;
  state->HostUser = hostUser;
  state->MemberOffsets = new (std::nothrow) uint64_t[kMemberOffsetCapacity];
  if (state->MemberOffsets == nullptr) return false;
  state->Archive.memberOffsets = state->MemberOffsets;
  state->Archive.memberOffsetCapacity = kMemberOffsetCapacity;
  return true;
}

void FreeMainState(MainState* state) {
  CloseArchive(&state->Archive);
  delete[] state->MemberOffsets;
  delete[] state->SelectedMembers;
  state->SelectedMembers = nullptr;
  state->SelectedMemberWords = 0;
  state->MemberOffsets = nullptr;
  state->Archive.memberOffsets = nullptr;
}

void ResetListTotals(MainState* state) {
  std::memset(&state->Totals, 0, sizeof state->Totals);
}
