#include "cli/job_session.h"

#include <cstring>

#include "cli/archive_session.h"
#include "core/archive.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"

namespace {
const char* OutcomeText(uint32_t outcome) {
  switch (outcome) {
    case kOutcomeInsertionFailed: return "Insertion failed.\n";
    case kOutcomeExtractionFailed: return "Extraction failed.\n";
    case kOutcomeTestPassed: return "Test completed. There are no errors.\n";
    case kOutcomeTestFailed: return "Test failed.\n";
    default: return "";
  }
}

// "qbx: 3 items skipped" after an add, "qbx: 2 members not extracted" after an extraction.
std::string LeftOutText(const CliJobs* jobs) {
  uint32_t n = jobs->state.LeftOutCount;
  std::string count = std::to_string(n);
  if (jobs->host.outcome == kOutcomeItemsSkipped) return "qbx: " + count + (n == 1 ? " item" : " items") + " skipped";
  return "qbx: " + count + (n == 1 ? " member" : " members") + " not extracted";
}
}  // namespace

void CopyToJobPath(MainState* state, const std::u16string& text) {
  std::memset(state->JobPath, 0, sizeof state->JobPath);
  for (size_t i = 0; i < text.size() && i + 1 < kJobPathChars; ++i) state->JobPath[i] = text[i];
}

CliJobs* OpenWithJobs(const CliOptions& o, const std::u16string& archive, const CliIo& io, int* status,
                      bool keepEntries, MissingArchive missing, bool keepRows, RowSink sink, void* sinkUser) {
  if (missing == MissingArchive::kRefuse && !ArchiveExists(archive, io, o.json)) {
    *status = static_cast<int>(kResultOpen);
    return nullptr;
  }
  CliJobs* jobs = NewCliJobs(io);
  if (jobs == nullptr) {
    *status = ReportResult(io, kResultNoMemory, o.json);
    return nullptr;
  }
  MainState& s = jobs->state;
  s.Options = {o.anyPath ? 1u : 0u, o.baseFolder ? 1u : 0u, o.hidden ? 1u : 0u, o.utf8 ? 1u : 0u, o.level};
  s.SortColumn = o.sortColumn;
  s.Archive.openOuter = o.outer ? 1u : 0u;
  s.SortDirection = o.reverse ? -1 : 1;
  jobs->host.overwriteAnswer = o.overwrite ? uint32_t{kAnswerDoAll} : o.skipExisting ? uint32_t{kAnswerSkipAll} : 0u;
  jobs->host.passwordAnswer = o.hasPassword ? uint32_t{kAnswerDoAll} : o.skipEncrypted ? uint32_t{kAnswerSkipAll} : 0u;
  jobs->host.password = o.password;
  jobs->host.keepEntries = keepEntries;
  jobs->host.keepRows = keepRows;
  jobs->host.rowSink = sink;
  jobs->host.rowSinkUser = sinkUser;
  // Without rows nothing is edited or viewed by position: no offset table either, so that
  // memory stays the same for ten thousand members and for a million.
  if (!keepRows) s.Archive.memberOffsetCapacity = 0;
  // Nothing to select or show: the walk that follows may find the members itself.
  s.Archive.walkFollows = o.walkAll && !keepRows && sink == nullptr ? 1u : 0u;
  CopyToJobPath(&s, archive);
  ResultCode r = RunCliJob(jobs, kJobOpenAndList);
  if (r != kResultOk) {
    *status = ReportResult(io, r, o.json);
    DeleteCliJobs(jobs);
    return nullptr;
  }
  return jobs;
}

bool SelectIndexes(CliJobs* jobs, const std::vector<uint32_t>& indexes, const CliIo& io, int* status) {
  for (uint32_t index : indexes) {
    if (jobs->host.rowOfMember.count(index) == 0) {
      CliWrite(io, kCliErr, "qbx: no member has the index " + std::to_string(index) + "\n");
      *status = static_cast<int>(kResultNotFound);
      return false;
    }
  }
  SelectMembers(jobs, indexes);
  return true;
}

CliJobs* OpenAndSelect(const CliOptions& o, const CliIo& io, int* status) {
  std::vector<uint32_t> indexes;
  if (!ParseIndexes(o.positional, 1, &indexes)) {
    *status = kExitUsage;
    return nullptr;
  }
  // Every member: nothing to select, so no rows are kept and memory stays flat however many
  // members there are.
  CliJobs* jobs = OpenWithJobs(o, o.positional[0], io, status, false, MissingArchive::kRefuse, !indexes.empty());
  if (jobs != nullptr && !SelectIndexes(jobs, indexes, io, status)) {
    CloseArchive(&jobs->state.Archive);
    DeleteCliJobs(jobs);
    return nullptr;
  }
  return jobs;
}

int FinishJob(CliJobs* jobs, const CliIo& io) {
  ResultCode r = jobs->state.Archive.result;
  if (r != kResultOk && r != kResultCancelled) {
    if (!jobs->host.statusText.empty()) CliWrite(io, kCliErr, PrintableText(jobs->host.statusText) + "\n");
    ReportResult(io, r, false);
  }
  if (jobs->host.passedOver != 0)
    CliWrite(io, kCliErr, "qbx: " + std::to_string(jobs->host.passedOver) + " member(s) passed over\n");
  if (jobs->state.LeftOutCount != 0) CliWrite(io, kCliErr, LeftOutText(jobs) + "\n");
  if (r != kResultCancelled) CliWrite(io, kCliOut, OutcomeText(jobs->host.outcome));
  CloseArchive(&jobs->state.Archive);
  DeleteCliJobs(jobs);
  return static_cast<int>(r);
}
