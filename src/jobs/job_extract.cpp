#include <cstring>

#include "core/archive.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"

namespace {
int64_t ProgressTotal(const MainState* state) {
  const ListTotals& t = state->Totals;
  if (t.ListedCount == 0) return static_cast<int64_t>(state->Archive.walkSizeHint);  // not listed
  return static_cast<int64_t>(t.SelectedCount != 0 ? t.SelectedSize : t.TotalSize);
}

// Runs the walk; a failure leaves the member in work in the status line under the message.
ResultCode RunWalk(MainState* state, uint32_t testFlag) {
  ArchiveContext* c = &state->Archive;
  c->onProgress = FullProgressCallback;
  c->onMember = testFlag != 0 ? TestMemberCallback : ExtractMemberCallback;
  state->WorkMemberName[0] = 0;
  c->nextWanted = state->AllMembers ? nullptr : NextSelectedMember;
  c->walkWorkers = ProcessorCount();
  ResultCode r = RunMembers(c, ProgressTotal(state), testFlag);
  c->nextWanted = nullptr;
  c->walkWorkers = 0;
  if (r != kResultOk) state->Host->sendStatusText(state, state->WorkMemberName);
  return r;
}
// The stream's bytes as they are; one too long to keep gives the plain internet mark, the
// safe side of a mark that is there.
void TakeZoneMark(MainState* state) {
  static constexpr char kInternetZone[] = "[ZoneTransfer]\r\nZoneId=3\r\n";
  ArchiveContext* c = &state->Archive;
  uint32_t length = 0;
  c->zoneMark = nullptr;
  if (!ReadZoneMark(state->ArchivePath, state->ZoneMark, kZoneMarkBytes, &length)) return;
  if (length > kZoneMarkBytes) {
    length = sizeof kInternetZone - 1;
    std::memcpy(state->ZoneMark, kInternetZone, length);
  }
  c->zoneMark = state->ZoneMark;
  c->zoneMarkLength = length;
}
}  // namespace

uint32_t RunExtract(MainState* state) {
  state->Host->notifyUpdate(state, kJobExtract, 0);
  state->LeftOutCount = 0;
  TakeZoneMark(state);
  state->ExtractFolders.length = 0;
  state->Archive.checkedFolder = &state->ExtractFolders;
  ResultCode r;
  if (!SetCurrentFolder(state->JobPath)) {
    r = state->Archive.result = kResultSave;
    state->Host->sendStatusText(state, state->JobPath);
  } else {
    r = RunWalk(state, 0);
  }
  // The rest went on, but a partial extraction must not read as a whole one.
  if (r == kResultOk && state->LeftOutCount != 0) {
    r = Fail(&state->Archive, kResultLinkInPath);
    state->Host->sendStatusText(state, u"");  // the last name shown is not the one to blame
  }
  state->Archive.zoneMark = nullptr;
  state->Archive.checkedFolder = nullptr;
  state->Host->notifyDone(state, state->DialogToken, r != kResultOk ? kOutcomeExtractionFailed : kOutcomeCloseDialog);
  return 0;
}

uint32_t RunTest(MainState* state) {
  state->Host->notifyUpdate(state, kJobTest, 0);
  ResultCode r = RunWalk(state, 1);
  state->Host->notifyDone(state, state->DialogToken, r != kResultOk ? kOutcomeTestFailed : kOutcomeTestPassed);
  return 0;
}
