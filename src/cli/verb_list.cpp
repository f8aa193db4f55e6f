// qbx list: one line per member, or one JSON object with every member.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "cli/cli.h"
#include "cli/json.h"
#include "core/archive.h"
#include "core/filetime.h"
#include "core/member_name.h"

namespace {
constexpr size_t kFlushSize = 1 << 16;
constexpr const char* kFormatNames[] = {"", "QBX", "TAR", "ZIP", "GZ"};

struct ListRun {
  CliSession session;
  const CliIo* io;
  bool json;
  std::string text;  // member lines (text) or member objects (JSON)
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day) {
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(days - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  *day = doy - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int64_t>(yoe) + era * 400 + (*month <= 2 ? 1 : 0);
}

std::string UtcTimeText(uint64_t fileTime) {
  int64_t seconds = static_cast<int64_t>(fileTime / kFileTimeTicksPerSecond) -
                    static_cast<int64_t>(kFileTimeUnixEpoch);
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  int64_t inDay = seconds - days * 86400;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, &year, &month, &day);
  char text[48];
  std::snprintf(text, sizeof text, "%04" PRId64 "-%02u-%02u %02u:%02u:%02u", year, month, day,
                static_cast<unsigned>(inDay / 3600), static_cast<unsigned>(inDay / 60 % 60),
                static_cast<unsigned>(inDay % 60));
  return text;
}

std::string DecodedName(const ArchiveContext* context) {
  char16_t name[kDecodedNameChars];
  DecodeMemberName(context, &context->entry, name);
  return ToUtf8(name);
}

void AppendNumber(std::string& out, const char* key, uint64_t value, bool comma = true) {
  AppendJsonKey(out, key);
  out += std::to_string(value);
  if (comma) out += ',';
}

void AppendMemberJson(ListRun* run, const ArchiveContext* c) {
  const EntryRecord& e = c->entry;
  std::string& out = run->text;
  if (!out.empty()) out += ',';
  out += '{';
  AppendNumber(out, "index", c->memberIndex);
  AppendJsonKey(out, "name");
  AppendJsonString(out, DecodedName(c));
  out += ',';
  AppendJsonKey(out, "nameHex");
  AppendJsonString(out, HexOf(e.name, strnlen(reinterpret_cast<const char*>(e.name), kEntryNameSize)));
  out += ',';
  AppendJsonKey(out, "packedSize");
  out += std::to_string(e.packedSize) + ',';
  AppendNumber(out, "size", e.size);
  AppendNumber(out, "modified", e.modified);
  AppendNumber(out, "attributes", e.attributes);
  AppendNumber(out, "method", e.method);
  AppendNumber(out, "mode", e.mode);
  AppendNumber(out, "padding", e.padding);
  AppendNumber(out, "checksum", e.checksum, false);
  out += '}';
}

void AppendMemberLine(ListRun* run, const ArchiveContext* c) {
  const EntryRecord& e = c->entry;
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "%6u %14" PRId64 " %14" PRIu64 "  ", c->memberIndex,
                e.packedSize, e.size);
  run->text += numbers;
  run->text += UtcTimeText(e.modified);
  run->text += "  ";
  run->text += DecodedName(c);
  run->text += '\n';
  if (run->text.size() >= kFlushSize) {
    CliWrite(*run->io, kCliOut, run->text);
    run->text.clear();
  }
}

uint32_t OnListedMember(ArchiveContext* context) {
  auto* run = static_cast<ListRun*>(context->owner);
  if (run->json)
    AppendMemberJson(run, context);
  else
    AppendMemberLine(run, context);
  return 1;
}

std::string ListJson(const ListRun& run) {
  const ArchiveContext& c = run.session.context;
  std::string out = "{";
  AppendJsonKey(out, "format");
  AppendJsonString(out, kFormatNames[c.format < kFormatKindCount ? c.format : 0]);
  out += ',';
  AppendNumber(out, "result", c.result);
  AppendJsonKey(out, "writable");
  out += c.openMode == kModeReadWrite ? "true," : "false,";
  AppendNumber(out, "memberCount", c.memberCount);
  AppendNumber(out, "appendOffset", c.appendOffset);
  AppendNumber(out, "fileSize", c.fileSize);
  AppendJsonKey(out, "members");
  out += '[' + run.text + "]}\n";
  return out;
}
}  // namespace

int RunListVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  ListRun run;
  run.io = &io;
  run.json = false;
  bool utf8 = false;
  std::u16string path;
  for (const std::u16string& a : args) {
    if (a == u"--json") run.json = true;
    else if (a == u"--utf8") utf8 = true;
    else if (path.empty() && !(a.size() > 1 && a[0] == u'-')) path = a;
    else {
      CliWrite(io, kCliErr, "usage: qbx list [--utf8] [--json] ARCHIVE\n");
      return kExitUsage;
    }
  }
  if (path.empty()) {
    CliWrite(io, kCliErr, "usage: qbx list [--utf8] [--json] ARCHIVE\n");
    return kExitUsage;
  }
  InitCliSession(&run.session, path);
  ArchiveContext& c = run.session.context;
  c.owner = &run;
  c.onMember = OnListedMember;
  c.headerCodePage = utf8 ? 65001 : 0;
  ResultCode r = OpenArchive(&c, 0);
  if (r != kResultOk) return ReportResult(io, r, run.json);
  CliWrite(io, kCliOut, run.json ? ListJson(run) : run.text);
  CloseArchive(&c);
  return 0;
}
