#include "cli/terminal_host.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "cli/terminal.h"
#include "jobs/format_duration.h"
#include "jobs/format_template.h"
#include "jobs/format_units.h"
#include "jobs/jobs.h"
#include "jobs/list_texts.h"
#include "formats/formats.h"

namespace {
constexpr uint32_t kBarWidth = 24;

TerminalHost* HostOf(MainState* state) { return static_cast<TerminalHost*>(state->HostUser); }
TerminalRow* RowAt(MainState* state, int32_t row) {
  TerminalHost* h = HostOf(state);
  // A sink keeps only the row in work, whatever its number.
  if (h->rowSink != nullptr) return row >= 0 && !h->rows.empty() ? &h->rows.back() : nullptr;
  return row >= 0 && static_cast<size_t>(row) < h->rows.size() ? &h->rows[static_cast<size_t>(row)] : nullptr;
}

void NotifyUpdate(MainState* state, uint32_t code, uint32_t argument) {
  TerminalHost* h = HostOf(state);
  if (code != kUpdatePercent || !h->showProgress) return;
  std::string line = "\r[" + std::string(argument * kBarWidth / 100, '#') +
                     std::string(kBarWidth - argument * kBarWidth / 100, ' ') + "] " + std::to_string(argument) + "%";
  CliWrite(*h->io, kCliErr, line);
  h->progressDrawn = true;
}

void NotifyDone(MainState* state, uint32_t, uint32_t outcome) { HostOf(state)->outcome = outcome; }
void NotifyRedraw(MainState*, bool) {}

// A row is complete once the next one starts, or the listing ends (it then sorts).
void EmitPendingRow(TerminalHost* h) {
  if (h->rowSink == nullptr || h->rows.empty()) return;
  h->rowSink(h->rows.front(), h->rowSinkUser);
  h->rows.clear();
}

void NotifySort(MainState* state) {
  EmitPendingRow(HostOf(state));
  SortRows(HostOf(state)->owner);
}

std::string Field(double seconds) {
  char16_t text[kFormatBufferChars];
  FormatDuration(text, seconds);
  return ToUtf8(text);
}

// "12.5 seconds | 3.0 seconds left | 200.0 MB | 80.0 MB/s [#####     ]"
void SendProgress(MainState* state, uint32_t code, const ProgressBlock* b) {
  TerminalHost* h = HostOf(state);
  if (!h->showProgress) return;
  double fraction = b->fraction < 0 ? 0 : b->fraction > 1 ? 1 : b->fraction;
  uint32_t filled = static_cast<uint32_t>(fraction * kBarWidth);
  std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "]";
  std::string line = "\r" + bar;
  if (code == kUpdateFullProgress) {
    char16_t size[kFormatBufferChars], speed[kFormatBufferChars];
    FormatSize(size, static_cast<uint64_t>(b->totalBytes));
    FormatSpeed(speed, b->inRate);
    line = "\r" + Field(b->elapsedSec) + " | " + Field(b->remainingSec) + " left | " + ToUtf8(size) + " | " +
           ToUtf8(speed) + " " + bar;
  }
  line += "\x1b[K";
  CliWrite(*h->io, kCliErr, line);
  h->progressDrawn = true;
}

void SendStatusText(MainState* state, const char16_t* text) { HostOf(state)->statusText = text; }

// Without a terminal to ask on and without an option that answers, the member is passed
// over, and said so: a script must not mistake a partial extraction for a whole one.
uint32_t PassOver(TerminalHost* h, const char16_t* name, const char* why) {
  h->passedOver += 1;
  CliWrite(*h->io, kCliErr, "qbx: passed over " + PrintableText(name) + ": " + why + "\n");
  return kAnswerSkip;
}

uint32_t AskOverwrite(TerminalHost* h, const char16_t* name) {
  if (h->overwriteAnswer != 0) return h->overwriteAnswer;
  if (!h->interactive) return PassOver(h, name, "the file exists (--overwrite or --skip-existing)");
  EndProgressLine(h);
  std::string question = "File Already Exists: " + PrintableText(name) +
                         "\n[s]kip, skip [a]ll, [o]verwrite, overwrite a[l]l? ";
  switch (AskLetter(question, "saol")) {
    case 'a': return kAnswerSkipAll;
    case 'o': return kAnswerDo;
    case 'l': return kAnswerDoAll;
    default: return kAnswerSkip;
  }
}

// The password goes where the archive core reads it: the state's password bytes.
uint32_t AskPassword(MainState* state, TerminalHost* h, const char16_t* name) {
  std::string password = h->password;
  uint32_t answer = h->passwordAnswer;
  if (answer == 0) {
    if (!h->interactive) return PassOver(h, name, "it is encrypted (--password or --skip-encrypted)");
    EndProgressLine(h);
    if (!ReadSecret("Enter Password for " + PrintableText(name) + ": ", &password) || password.empty())
      return kAnswerSkip;
    answer = kAnswerDo;
  }
  if (answer >= kAnswerDo) {
    std::memset(state->Password, 0, sizeof state->Password);
    std::memcpy(state->Password, password.data(), std::min<size_t>(password.size(), kPasswordMaxBytes));
  }
  return answer;
}

uint32_t AskPrompt(MainState* state, uint32_t code, const char16_t* text) {
  TerminalHost* h = HostOf(state);
  return code == kUpdateOverwritePrompt ? AskOverwrite(h, text) : AskPassword(state, h, text);
}

void DeleteAllRows(MainState* state) {
  HostOf(state)->rows.clear();
  HostOf(state)->entries.clear();
  HostOf(state)->rowOfMember.clear();
}
void ClearStatusBar(MainState*) {}

bool IsRowSelected(MainState* state, int32_t row) {
  TerminalRow* r = RowAt(state, row);
  return r != nullptr && r->selected;
}

bool RowMember(MainState* state, int32_t row, uint32_t* member) {
  TerminalRow* r = RowAt(state, row);
  if (r == nullptr) return false;
  *member = r->member;
  return true;
}

bool RowText(MainState* state, int32_t row, char16_t* text, uint32_t capacity) {
  TerminalRow* r = RowAt(state, row);
  if (r == nullptr || capacity == 0) return false;
  size_t n = std::min<size_t>(r->cells[kColumnName].size(), capacity - 1);
  std::copy_n(r->cells[kColumnName].begin(), n, text);
  text[n] = 0;
  return true;
}

int32_t FindRow(MainState* state, uint32_t member) {
  auto found = HostOf(state)->rowOfMember.find(member);
  return found == HostOf(state)->rowOfMember.end() ? -1 : found->second;
}

uint32_t ReadSelection(MainState* state, uint64_t* bits, uint32_t words) {
  uint32_t need = 0;
  for (const TerminalRow& r : HostOf(state)->rows)
    if (r.selected) need = std::max(need, MarkSelectedMember(bits, words, r.member));
  return need;
}

void InsertRow(MainState* state, int32_t row, const char16_t* text, uint32_t member) {
  TerminalHost* h = HostOf(state);
  if (!h->keepRows) return;
  if (h->rowSink != nullptr) {
    EmitPendingRow(h);
    h->rows.push_back(TerminalRow{member, false, {}, 0});
    h->rows.back().cells[kColumnName] = text;
    return;
  }
  TerminalRow r{member, false, {}, static_cast<uint32_t>(h->entries.size())};
  if (h->keepEntries) {
    const StoredName& name = state->Archive.storedName;
    h->entries.push_back(state->Archive.entry);
    h->storedNames.emplace_back(reinterpret_cast<const char*>(name.bytes), name.length);
  }
  r.cells[kColumnName] = text;
  size_t at = std::min<size_t>(static_cast<size_t>(row), h->rows.size());
  h->rows.insert(h->rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(r));
  if (at + 1 == h->rows.size()) {
    h->rowOfMember[member] = static_cast<int32_t>(at);
  } else {
    for (size_t i = at; i < h->rows.size(); ++i) h->rowOfMember[h->rows[i].member] = static_cast<int32_t>(i);
  }
}

void SetCell(MainState* state, int32_t row, uint32_t column, const char16_t* text) {
  TerminalRow* r = RowAt(state, row);
  if (r != nullptr && column < kListColumnCount) r->cells[column] = text;
}

// Each member or item left out gets its own line, so a script's log says which.
void ReportLeftOut(MainState* state, const char16_t* name, LeftOutReason reason) {
  static constexpr const char* kWhy[] = {
      "a symbolic link or junction on the disk stands in its path",
      "not a file or folder",
      "a link is never followed",
      "a link is made only where it points inside the destination",
      "the system did not make the link",
      "the member it links to is not on the disk",
      "its copy of the member it links to could not be written",
  };
  TerminalHost* h = HostOf(state);
  EndProgressLine(h);
  CliWrite(*h->io, kCliErr, "qbx: left out " + PrintableText(name) + ": " + kWhy[reason] + "\n");
}

constexpr JobHost kTerminalHost = {
    NotifyUpdate, NotifyDone, NotifyRedraw, NotifySort, SendProgress, SendStatusText, AskPrompt,
    DeleteAllRows, ClearStatusBar, IsRowSelected, RowMember, RowText, ReadSelection, InsertRow, SetCell,
    ReportLeftOut,
};
}  // namespace

const JobHost* TerminalJobHost() { return &kTerminalHost; }

CliJobs* NewCliJobs(const CliIo& io) {
  auto* jobs = new (std::nothrow) CliJobs();
  if (jobs == nullptr) return nullptr;
  jobs->host.io = &io;
  jobs->host.owner = jobs;
  jobs->host.keepRows = true;
  jobs->host.interactive = StdinIsTerminal() && StderrIsTerminal();
  jobs->host.showProgress = StderrIsTerminal();
  if (!InitMainState(&jobs->state, AllFormatTable(), TerminalJobHost(), &jobs->host)) {
    delete jobs;
    return nullptr;
  }
  return jobs;
}

void DeleteCliJobs(CliJobs* jobs) {
  if (jobs == nullptr) return;
  FreeMainState(&jobs->state);
  delete jobs;
}

ResultCode RunCliJob(CliJobs* jobs, uint32_t kind) {
  if (!TakeSelection(&jobs->state)) return Fail(&jobs->state.Archive, kResultNoMemory);
  jobs->state.Archive.jobState.store(kJobRunning);
  BeginCancelOnInterrupt(&jobs->state.Archive.jobState);
  JobBodyOf(kind)(&jobs->state);
  EndCancelOnInterrupt();
  EndProgressLine(&jobs->host);
  jobs->state.Archive.jobState.store(kJobIdle);
  return jobs->state.Archive.result;
}

void SelectMembers(CliJobs* jobs, const std::vector<uint32_t>& members) {
  ListTotals& t = jobs->state.Totals;
  for (uint32_t member : members) {
    int32_t row = FindRow(&jobs->state, member);
    if (row < 0) continue;
    TerminalRow& r = jobs->host.rows[static_cast<size_t>(row)];
    if (r.selected) continue;
    r.selected = true;
    t.SelectedCount += 1;
    t.SelectedSize += CellNumber(r.cells[kColumnSize].c_str());
    t.SelectedExtractedSize += CellNumber(r.cells[kColumnExtracted].c_str());
  }
}

void SortRows(CliJobs* jobs) {
  MainState& s = jobs->state;
  std::vector<TerminalRow>& rows = jobs->host.rows;
  uint32_t column = s.SortColumn;
  auto before = [&](const TerminalRow& a, const TerminalRow& b) {
    const char16_t* ta = column < kListColumnCount ? a.cells[column].c_str() : u"";
    const char16_t* tb = column < kListColumnCount ? b.cells[column].c_str() : u"";
    return CompareRows(column, s.SortDirection, a.member, b.member, ta, tb) < 0;
  };
  // Rows are large: the usual archive order costs one pass, any other order one move a row.
  if (std::is_sorted(rows.begin(), rows.end(), before)) return;
  std::vector<uint32_t> order(rows.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return before(rows[a], rows[b]); });
  std::vector<TerminalRow> sorted;
  sorted.reserve(rows.size());
  for (uint32_t i : order) sorted.push_back(std::move(rows[i]));
  rows.swap(sorted);
  for (size_t i = 0; i < rows.size(); ++i) jobs->host.rowOfMember[rows[i].member] = static_cast<int32_t>(i);
}

void EndProgressLine(TerminalHost* host) {
  if (!host->progressDrawn) return;
  CliWrite(*host->io, kCliErr, "\r\x1b[K");
  host->progressDrawn = false;
}
