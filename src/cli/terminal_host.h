// The jobs' user interface in a terminal: rows kept in memory, prompts on the terminal,
// progress as one line on stderr. Jobs run on the calling thread, so every delivery mode
// is a direct call.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/cli.h"
#include "jobs/job_host.h"
#include "jobs/main_state.h"

struct TerminalRow {
  uint32_t member;
  bool selected;
  std::u16string cells[kListColumnCount];
  uint32_t entry;  // index into TerminalHost::entries, when they are kept
};

struct CliJobs;

// Where rows go as each is complete, instead of being kept (a listing in archive order).
using RowSink = void (*)(const TerminalRow& row, void* user);

struct TerminalHost {
  const CliIo* io;
  CliJobs* owner;
  std::vector<TerminalRow> rows;
  // Rows are kept unless a job takes every member without looking at them (test, extract).
  bool keepRows;
  // With a sink, only the row in work is kept; the one before goes to the sink.
  RowSink rowSink;
  void* rowSinkUser;
  // The members as they were listed, kept only when asked for (JSON needs them).
  bool keepEntries;
  std::vector<EntryRecord> entries;
  std::vector<std::string> storedNames;  // each entry's whole name as stored, however long
  std::unordered_map<uint32_t, int32_t> rowOfMember;
  uint32_t outcome;
  std::u16string statusText;
  // Answers given on the command line; 0 asks on the terminal (or skips without one).
  uint32_t overwriteAnswer;
  uint32_t passwordAnswer;
  // Members passed over for want of an answer (no terminal, no option): each is named on
  // stderr as it happens, and FinishJob gives the count.
  uint32_t passedOver;
  std::string password;
  bool interactive;     // stdin and stderr are a terminal: prompts may be asked
  bool showProgress;    // stderr is a terminal: the progress line is drawn
  bool progressDrawn;
  uint32_t lastPercent;
};

const JobHost* TerminalJobHost();

// A job session: the application record wired to a terminal host.
struct CliJobs {
  MainState state;
  TerminalHost host;
};

// Allocates and wires a session; null when memory is short.
CliJobs* NewCliJobs(const CliIo& io);
void DeleteCliJobs(CliJobs* jobs);
// Runs a job body on this thread and returns the archive's result code.
ResultCode RunCliJob(CliJobs* jobs, uint32_t kind);
// Selects the rows of the given members and keeps the selection counters true.
void SelectMembers(CliJobs* jobs, const std::vector<uint32_t>& members);
// Sorts the rows by the state's sort column and direction.
void SortRows(CliJobs* jobs);
// Clears the progress line, if one is drawn.
void EndProgressLine(TerminalHost* host);
