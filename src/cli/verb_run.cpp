// qbx test and qbx extract: every member, or the given ones, through the jobs.
#include "cli/job_session.h"
#include "core/folders.h"
#include "jobs/jobs.h"

namespace {
int Usage(const CliIo& io, const char* text) {
  CliWrite(io, kCliErr, std::string("usage: ") + text + "\n");
  return kExitUsage;
}
}  // namespace

int RunTestVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  const char* usage = "qbx test [--utf8] [--outer] [--password TEXT | --skip-encrypted] ARCHIVE [INDEX...]";
  CliOptions o;
  o.walkAll = true;
  if (!ParseOptions(args, kOptSettings | kOptPassword | kOptOuter, &o, io) || o.positional.empty()) return Usage(io, usage);
  int status = 0;
  CliJobs* jobs = OpenAndSelect(o, io, &status);
  if (jobs == nullptr) return status == kExitUsage ? Usage(io, usage) : status;
  RunCliJob(jobs, kJobTest);
  return FinishJob(jobs, io);
}

int RunExtractVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  const char* usage =
      "qbx extract [--utf8] [--outer] [--any-path] [--overwrite | --skip-existing] [--password TEXT | --skip-encrypted] "
      "ARCHIVE -o FOLDER [INDEX...]";
  CliOptions o;
  o.walkAll = true;
  if (!ParseOptions(args, kOptSettings | kOptExisting | kOptPassword | kOptOutput | kOptOuter, &o, io) ||
      o.positional.empty() || o.output.empty())
    return Usage(io, usage);
  int status = 0;
  CliJobs* jobs = OpenAndSelect(o, io, &status);
  if (jobs == nullptr) return status == kExitUsage ? Usage(io, usage) : status;
  // The job makes the destination the current folder; ours is given back afterwards.
  char16_t previous[4096];
  bool restore = GetCurrentFolder(previous, sizeof previous / sizeof previous[0]);
  MakeParentFolders((o.output + u"/").c_str());
  CopyToJobPath(&jobs->state, o.output);
  RunCliJob(jobs, kJobExtract);
  if (restore) SetCurrentFolder(previous);
  return FinishJob(jobs, io);
}
