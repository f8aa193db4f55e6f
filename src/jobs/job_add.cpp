#include "core/append.h"
#include "core/append_ahead.h"
#include "core/progress.h"
#include "jobs/folder_scan.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"
#include "jobs/member_rows.h"

namespace {
constexpr uint32_t kRefreshBothParts = 3;

uint32_t FinishAdd(MainState* state) {
  ArchiveContext* c = &state->Archive;
  c->pieceWorkers = 0;
  // Success is reported only once the additions are on the disk: a crash or power cut
  // after the message must not take them back.
  if (c->archiveFile != kInvalidFile && !FileFlush(c->archiveFile) && c->result == kResultOk) Fail(c, kResultWrite);
  ResultCode r = c->result;
  uint32_t outcome = r != kResultOk ? kOutcomeInsertionFailed
                     : state->LeftOutCount != 0 ? kOutcomeItemsSkipped
                                                : kOutcomeCloseDialog;
  state->Host->notifyDone(state, state->DialogToken, outcome);
  return 0;
}
}  // namespace

void LeaveOut(MainState* state, const char16_t* name, LeftOutReason reason) {
  state->LeftOutCount += 1;
  if (state->Host->reportLeftOut != nullptr) state->Host->reportLeftOut(state, name, reason);
}

const char16_t* ItemNameOf(const char16_t* path) {
  const char16_t* name = path;
  for (const char16_t* p = path; *p != 0; ++p)
    if (*p == u'\\' || *p == u'/') name = p + 1;
  return name;
}

namespace {
// The archive an add job works on, with the settings of this add.
ArchiveContext* BeginAdd(MainState* state) {
  state->LeftOutCount = 0;
  state->Archive.compressionLevel = state->Options.ZipLevel;
  state->Archive.pieceWorkers = ProcessorCount();
  return &state->Archive;
}
}  // namespace

uint32_t RunAddFile(MainState* state) {
  ArchiveContext* c = BeginAdd(state);
  const char16_t* item = ItemNameOf(state->JobPath);
  state->Host->sendStatusText(state, item);
  state->Host->notifyUpdate(state, kJobAddFile, 0);
  c->progressSpansFolder = 0;
  c->onProgress = FullProgressCallback;
  c->onMember = AddRowCallback;
  if (AppendFile(c, state->JobPath, item) == kResultOk) {
    state->Host->notifySort(state);
    state->Host->notifyUpdate(state, kUpdateStatusBar, kRefreshBothParts);
  }
  return FinishAdd(state);
}

uint32_t RunAddFolder(MainState* state) {
  ArchiveContext* c = BeginAdd(state);
  state->Host->notifyUpdate(state, kJobAddFolder, 0);
  state->JobParameter = RelativeNameStart(state->JobPath, state->Options.BaseFolder);
  c->result = kResultOk;
  FolderScan scan;
  BeginFolderScan(&scan, state, CountVisitor);
  ScanFolder(&scan);
  if (scan.FileCount == 0 || scan.Stop != 0) return FinishAdd(state);
  state->Host->notifyUpdate(state, kJobAddFile, 0);
  ProgressBegin(c, static_cast<int64_t>(scan.TotalBytes), nullptr, reinterpret_cast<uintptr_t>(state));
  c->progress.callback = FullProgressCallback;
  uint32_t start = c->progress.lastTick;
  if (start - state->LastProgressTick > kProgressIntervalMs || scan.TotalBytes == 0) {
    state->Host->sendProgress(state, kUpdateFullProgress, &c->progress);
    state->LastProgressTick = start;
  }
  c->onProgress = FullProgressCallback;
  c->onMember = AddRowCallback;
  c->progressSpansFolder = 1;
  c->onAppendStart = ShowAddedFile;
  BeginAppendBatch(c);
  StartAppendAhead(c, ProcessorCount());
  BeginFolderScan(&scan, state, AddVisitor);
  ScanFolder(&scan);
  EndAppendBatch(c);
  c->onAppendStart = nullptr;
  c->progressSpansFolder = 0;
  state->Host->notifySort(state);
  state->Host->notifyUpdate(state, kUpdateStatusBar, kRefreshBothParts);
  return FinishAdd(state);
}
