// qbx list: the rows as the list shows them, or one JSON object with every member.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "cli/job_session.h"
#include "cli/json.h"
#include "core/archive.h"
#include "jobs/list_texts.h"

namespace {
// A TAR inside gzip is a TAR, "inside" GZ.
constexpr const char* kFormatNames[kFormatKindCount] = {"", "QBX", "TAR", "ZIP", "GZ", "TAR"};
constexpr const char* kInsideNames[kFormatKindCount] = {"", "", "", "", "", "GZ"};
constexpr size_t kFlushSize = 1 << 16;

void AppendNumber(std::string& out, const char* key, uint64_t value, bool comma = true) {
  AppendJsonKey(out, key);
  out += std::to_string(value);
  if (comma) out += ',';
}

void AppendMemberJson(std::string& out, const TerminalRow& row, const EntryRecord& e,
                      const std::string& storedName) {
  out += '{';
  AppendNumber(out, "index", row.member);
  AppendJsonKey(out, "name");
  AppendJsonString(out, ToUtf8(row.cells[kColumnName]));
  out += ',';
  AppendJsonKey(out, "nameHex");
  AppendJsonString(out, HexOf(reinterpret_cast<const uint8_t*>(storedName.data()), storedName.size()));
  out += ',';
  AppendJsonKey(out, "packedSize");
  out += std::to_string(e.packedSize) + ',';
  AppendNumber(out, "size", e.size);
  AppendNumber(out, "modified", e.modified);
  AppendNumber(out, "attributes", e.attributes);
  AppendNumber(out, "method", e.method);
  AppendNumber(out, "mode", e.mode);
  AppendNumber(out, "padding", e.padding);
  AppendNumber(out, "checksum", e.checksum);
  AppendJsonKey(out, "cells");
  out += '[';
  for (uint32_t i = 0; i < kListColumnCount; ++i) {
    if (i != 0) out += ',';
    AppendJsonString(out, ToUtf8(row.cells[i]));
  }
  out += "]}";
}

void StatusTexts(const MainState& s, std::string* items, std::string* sizes) {
  char16_t text[kStatusPartChars];
  StatusItemsText(s.Totals.ListedCount, text);
  *items = ToUtf8(text);
  StatusSizesText(s.Totals, text);
  *sizes = ToUtf8(text);
}

void PrintJson(CliJobs* jobs, const CliIo& io) {
  const ArchiveContext& c = jobs->state.Archive;
  std::string out = "{";
  AppendJsonKey(out, "format");
  const FormatKind format = c.format < kFormatKindCount ? c.format : kFormatNone;
  AppendJsonString(out, kFormatNames[format]);
  out += ',';
  // Only where there is a wrapper, so that other listings read as they always have.
  if (kInsideNames[format][0] != 0) {
    AppendJsonKey(out, "inside");
    AppendJsonString(out, kInsideNames[format]);
    out += ',';
  }
  AppendNumber(out, "result", c.result);
  AppendJsonKey(out, "writable");
  out += c.openMode == kModeReadWrite ? "true," : "false,";
  AppendNumber(out, "memberCount", c.memberCount);
  AppendNumber(out, "appendOffset", c.appendOffset);
  AppendNumber(out, "fileSize", c.fileSize);
  AppendJsonKey(out, "members");
  out += '[';
  for (size_t i = 0; i < jobs->host.rows.size(); ++i) {
    if (i != 0) out += ',';
    const TerminalRow& row = jobs->host.rows[i];
    AppendMemberJson(out, row, jobs->host.entries[row.entry], jobs->host.storedNames[row.entry]);
  }
  out += "],";
  std::string items, sizes;
  StatusTexts(jobs->state, &items, &sizes);
  AppendJsonKey(out, "status");
  out += '[';
  AppendJsonString(out, items);
  out += ',';
  AppendJsonString(out, sizes);
  out += "]}\n";
  CliWrite(io, kCliOut, out);
}

std::string Padded(const std::u16string& cell, size_t width, bool right) {
  std::string text = ToUtf8(cell);
  size_t shown = cell.size();
  if (shown >= width) return text;
  std::string pad(width - shown, ' ');
  return right ? pad + text : text + pad;
}

// The lines go out in blocks, as the rows come or from the sorted rows.
struct LinePrinter {
  const CliIo* io;
  std::string out;
};

void PrintLine(const TerminalRow& r, void* user) {
  auto* p = static_cast<LinePrinter*>(user);
  char index[16];
  std::snprintf(index, sizeof index, "%6u  ", r.member);
  p->out += index + Padded(r.cells[kColumnDate], 16, false) + "  " + Padded(r.cells[kColumnSize], 15, true) + "  " +
            Padded(r.cells[kColumnExtracted], 15, true) + "  " + Padded(r.cells[kColumnDetails], 19, false) + "  " +
            Padded(r.cells[kColumnType], 20, false) + "  " + PrintableText(r.cells[kColumnName]) + "\n";
  if (p->out.size() >= kFlushSize) {
    CliWrite(*p->io, kCliOut, p->out);
    p->out.clear();
  }
}

void PrintLines(CliJobs* jobs, LinePrinter* printer) {
  for (const TerminalRow& r : jobs->host.rows) PrintLine(r, printer);
  std::string items, sizes;
  StatusTexts(jobs->state, &items, &sizes);
  CliWrite(*printer->io, kCliOut, printer->out + items.substr(1) + ", " + sizes + "\n");
}
}  // namespace

int RunListVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  CliOptions o;
  if (!ParseOptions(args, kOptJson | kOptSettings | kOptSort | kOptOuter, &o, io) || o.positional.size() != 1) {
    CliWrite(io, kCliErr, "usage: qbx list [--json] [--utf8] [--outer] [--sort COLUMN] [--reverse] ARCHIVE\n");
    return kExitUsage;
  }
  int status = 0;
  // In archive order each line goes out as its member is listed, and no row is kept.
  const bool stream = !o.json && o.sortColumn == kUnsorted;
  LinePrinter printer{&io, {}};
  CliJobs* jobs = OpenWithJobs(o, o.positional[0], io, &status, o.json, MissingArchive::kRefuse, true,
                               stream ? PrintLine : nullptr, &printer);
  if (jobs == nullptr) return status;
  if (o.json) PrintJson(jobs, io);
  else PrintLines(jobs, &printer);
  CloseArchive(&jobs->state.Archive);
  DeleteCliJobs(jobs);
  return 0;
}
