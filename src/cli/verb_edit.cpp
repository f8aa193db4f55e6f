// qbx add, prefix, chmod (through the jobs), rename and delete-last (as the window does them).
#include "cli/archive_session.h"
#include "cli/job_session.h"
#include "core/archive.h"
#include "core/edit.h"
#include "jobs/jobs.h"

namespace {
int Usage(const CliIo& io, const char* text) {
  CliWrite(io, kCliErr, std::string("usage: ") + text + "\n");
  return kExitUsage;
}

int Finish(OpenedArchive& opened, const CliIo& io, ResultCode r) {
  CloseArchive(&opened.session.context);
  return ReportResult(io, r, false);
}

bool IsFolder(const std::u16string& path) {
  uint32_t attributes = 0;
  return GetPathAttributes(path.c_str(), &attributes) && (attributes & kAttrDirectory) != 0;
}

// Opens, selects the rows and runs a row job with its parameter (or the prefix to prepend).
int RunRowVerb(const CliOptions& o, const CliIo& io, uint32_t kind, uint32_t parameter) {
  int status = 0;
  CliJobs* jobs = OpenAndSelect(o, io, &status);
  if (jobs == nullptr) return status;
  if (kind == kJobPrependPrefix) CopyToJobPath(&jobs->state, o.prepend);
  jobs->state.JobParameter = parameter;
  RunCliJob(jobs, kind);
  return FinishJob(jobs, io);
}
}  // namespace

int RunAddVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  CliOptions o;
  if (!ParseOptions(args, kOptSettings | kOptLevel, &o, io) || o.positional.size() < 2)
    return Usage(io, "qbx add [--utf8] [--base-folder] [--hidden] [--level fast|normal|best] ARCHIVE PATH...");
  int status = 0;
  CliJobs* jobs = OpenWithJobs(o, o.positional[0], io, &status, false, MissingArchive::kCreate);
  if (jobs == nullptr) return status;
  for (size_t i = 1; i < o.positional.size(); ++i) {
    CopyToJobPath(&jobs->state, o.positional[i]);
    if (RunCliJob(jobs, IsFolder(o.positional[i]) ? kJobAddFolder : kJobAddFile) != kResultOk) break;
  }
  return FinishJob(jobs, io);
}

int RunPrefixVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  const char* usage = "qbx prefix [--utf8] ARCHIVE (--prepend TEXT | --trim N) INDEX...";
  CliOptions o;
  if (!ParseOptions(args, kOptSettings | kOptPrefix, &o, io) || o.positional.size() < 2 ||
      (o.prepend.empty() == (o.trim < 0)) || o.trim == 0)
    return Usage(io, usage);
  int status = RunRowVerb(o, io, o.prepend.empty() ? kJobTrimPrefix : kJobPrependPrefix,
                          static_cast<uint32_t>(o.trim));
  return status == kExitUsage ? Usage(io, usage) : status;
}

int RunChmodVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  const char* usage = "qbx chmod ARCHIVE OCTAL INDEX...";
  CliOptions o;
  if (!ParseOptions(args, kOptSettings, &o, io) || o.positional.size() < 3) return Usage(io, usage);
  uint32_t mode = 0;
  for (char16_t c : o.positional[1]) {
    if (c < u'0' || c > u'7' || mode > 0777) return Usage(io, usage);
    mode = mode * 8 + (c - u'0');
  }
  if (o.positional[1].empty() || mode > 0777) return Usage(io, usage);
  o.positional.erase(o.positional.begin() + 1);
  int status = RunRowVerb(o, io, kJobChangeMode, mode);
  return status == kExitUsage ? Usage(io, usage) : status;
}

int RunRenameVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  const char* usage = "qbx rename [--utf8] ARCHIVE INDEX NEWNAME";
  CliOptions o;
  uint32_t index = 0;
  if (!ParseOptions(args, kOptSettings, &o, io) || o.positional.size() != 3 || !ParseIndex(o.positional[1], &index))
    return Usage(io, usage);
  OpenedArchive opened;
  if (OpenForVerb(&opened, o.positional[0], o.utf8, io) != kResultOk)
    return static_cast<int>(opened.session.context.result);
  opened.session.context.onMember = nullptr;
  return Finish(opened, io, RenameMember(&opened.session.context, index, o.positional[2].c_str()));
}

int RunDeleteLastVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  if (args.size() != 1 || IsOption(args[0])) return Usage(io, "qbx delete-last ARCHIVE");
  OpenedArchive opened;
  if (OpenForVerb(&opened, args[0], false, io) != kResultOk) return static_cast<int>(opened.session.context.result);
  ArchiveContext& c = opened.session.context;
  c.onMember = nullptr;
  // Without a member the index is past the list: kResultNotFound, once the archive may change.
  return Finish(opened, io, DeleteLastMember(&c, opened.anyMember ? opened.lastIndex : c.memberCount));
}
