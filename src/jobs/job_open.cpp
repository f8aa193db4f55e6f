#include <cstring>

#include "core/archive.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"
#include "jobs/member_rows.h"

namespace {
void ForgetArchive(MainState* state) {
  state->Host->deleteAllRows(state);
  ResetListTotals(state);
  std::memset(state->ArchivePath, 0, sizeof state->ArchivePath);
}
}  // namespace

uint32_t RunOpenAndList(MainState* state) {
  const JobHost* host = state->Host;
  ArchiveContext* c = &state->Archive;
  host->deleteAllRows(state);
  host->clearStatusBar(state);
  host->notifyUpdate(state, kUpdateOpenStart, 0);
  host->notifyRedraw(state, false);
  ResetListTotals(state);
  std::memset(state->ArchivePath, 0, sizeof state->ArchivePath);
  for (uint32_t i = 0; i + 1 < kArchivePathChars && state->JobPath[i] != 0; ++i) state->ArchivePath[i] = state->JobPath[i];
  c->onProgress = BarProgressCallback;
  c->onMember = AddRowCallback;
  c->headerCodePage = state->Options.Unicode != 0 ? kCodePageUtf8 : 0;
  OpenArchive(c, 0);
  if (c->result != kResultOk || c->jobState.load() == kJobCancelling) {
    ResultCode kept = c->result;
    ForgetArchive(state);
    CloseArchive(c);
    c->result = kept;
  } else {
    host->notifySort(state);
    state->Totals.OpenMemberCount = c->memberCount;
    state->Totals.OpenEndOffset = c->appendOffset;
  }
  host->notifyRedraw(state, true);
  host->notifyUpdate(state, kUpdateOpened, 0);
  host->notifyDone(state, state->DialogToken, kOutcomeCloseDialog);
  return 0;
}
