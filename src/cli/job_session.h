// Opening an archive through the open job, as the program does, for the verbs built on jobs.
#pragma once

#include "cli/options.h"
#include "cli/terminal_host.h"

// Opens and lists the archive with the options' settings and sort; reports a failure and
// returns null then (status in *status). A missing archive is created only for add.
enum class MissingArchive { kRefuse, kCreate };
CliJobs* OpenWithJobs(const CliOptions& options, const std::u16string& archive, const CliIo& io, int* status,
                      bool keepEntries = false, MissingArchive missing = MissingArchive::kRefuse,
                      bool keepRows = true, RowSink sink = nullptr, void* sinkUser = nullptr);
// Opens the archive named by the first positional option and selects the rows of the
// indexes that follow it; null (reported, status set) when either fails.
CliJobs* OpenAndSelect(const CliOptions& options, const CliIo& io, int* status);
// Selects the rows of the indexes; false (reported, status kResultNotFound) when one is not listed.
bool SelectIndexes(CliJobs* jobs, const std::vector<uint32_t>& indexes, const CliIo& io, int* status);
// Reports the job's result: the message on stderr, then the outcome's text on stdout.
int FinishJob(CliJobs* jobs, const CliIo& io);
void CopyToJobPath(MainState* state, const std::u16string& text);
