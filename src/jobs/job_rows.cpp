// The row jobs: prefix, trim and mode, one selected row after another.
#include <cstring>

#include "core/archive.h"
#include "core/edit.h"
#include "core/progress.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"
#include "jobs/member_rows.h"

namespace {
constexpr uint32_t kRowTextChars = kMaxRenameChars + 1;

struct RowJob {
  uint32_t kind;
  char16_t name[kJobPathChars + kRowTextChars];  // the new name, prefix first
  char16_t rowText[kRowTextChars];               // the row's name as the list shows it
  uint32_t prefixLength;
};

ResultCode PrependStep(MainState* state, RowJob* job, int32_t row, uint32_t member) {
  if (!state->Host->rowText(state, row, job->rowText, kRowTextChars)) job->rowText[0] = 0;
  // RenameMember keeps the first kMaxRenameChars and turns "\\" into "/".
  uint32_t n = job->prefixLength;
  for (uint32_t i = 0; job->rowText[i] != 0; ++i) job->name[n++] = job->rowText[i];
  job->name[n] = 0;
  return RenameMember(&state->Archive, member, job->name);
}

ResultCode TrimStep(MainState* state, RowJob* job, int32_t row, uint32_t member) {
  if (!state->Host->rowText(state, row, job->rowText, kRowTextChars)) job->rowText[0] = 0;
  uint32_t length = 0;
  while (job->rowText[length] != 0) ++length;
  uint32_t drop = state->JobParameter < length ? state->JobParameter : length;
  std::memcpy(job->name, job->rowText + drop, (length - drop + 1) * sizeof(char16_t));
  return RenameMember(&state->Archive, member, job->name);
}

ResultCode ModeStep(MainState* state, uint32_t member) {
  ArchiveContext* c = &state->Archive;
  c->result = kResultOk;
  if (CheckModeEditable(c) != kResultOk) return c->result;
  if (c->format == kFormatTar) return SetTarMode(c, member, state->JobParameter);
  return kResultOk;
}

ResultCode RowStep(MainState* state, RowJob* job, int32_t row, uint32_t member) {
  switch (job->kind) {
    case kJobPrependPrefix: return PrependStep(state, job, row, member);
    case kJobTrimPrefix: return TrimStep(state, job, row, member);
    default: return ModeStep(state, member);
  }
}

uint32_t RunRowJob(MainState* state, RowJob* job) {
  const JobHost* host = state->Host;
  ArchiveContext* c = &state->Archive;
  bool renames = job->kind != kJobChangeMode;
  c->onMember = renames ? UpdateRowCallback : UpdateModeCallback;
  host->notifyUpdate(state, job->kind, 0);
  uint32_t doneHundreds = 0;
  uint32_t rows = state->Totals.RowCount;
  for (uint32_t i = 0; i < rows; ++i) {
    if (WaitWhilePaused(c) != kResultOk) break;
    if (!host->isRowSelected(state, static_cast<int32_t>(i))) continue;
    uint32_t member = 0;
    if (host->rowMember(state, static_cast<int32_t>(i), &member)) {
      state->CurrentRow = static_cast<int32_t>(i);
      if (RowStep(state, job, static_cast<int32_t>(i), member) != kResultOk) break;
    }
    doneHundreds += 100;
    uint32_t selected = state->Totals.SelectedCount != 0 ? state->Totals.SelectedCount : 1;
    host->notifyUpdate(state, kUpdatePercent, doneHundreds / selected);
  }
  if (renames) host->notifySort(state);
  host->notifyDone(state, state->DialogToken, kOutcomeCloseDialog);
  return 0;
}
}  // namespace

uint32_t RunPrependPrefix(MainState* state) {
  RowJob job;
  job.kind = kJobPrependPrefix;
  uint32_t n = 0;
  while (state->JobPath[n] != 0 && n < kMaxRenameChars) {
    job.name[n] = state->JobPath[n];
    ++n;
  }
  job.prefixLength = n;
  state->JobParameter = n;
  return RunRowJob(state, &job);
}

uint32_t RunTrimPrefix(MainState* state) {
  RowJob job;
  job.kind = kJobTrimPrefix;
  job.prefixLength = 0;
  return RunRowJob(state, &job);
}

uint32_t RunChangeMode(MainState* state) {
  RowJob job;
  job.kind = kJobChangeMode;
  job.prefixLength = 0;
  return RunRowJob(state, &job);
}
