// qbx repair: cuts away the incomplete last member an interrupted add left, after asking.
#include "cli/archive_session.h"
#include "cli/options.h"
#include "cli/terminal.h"
#include "core/archive.h"
#include "core/repair.h"

namespace {
constexpr char kUsage[] = "usage: qbx repair ARCHIVE [--yes]\n";

const char* WhyNothing(TailState state) {
  switch (state) {
    case kTailWhole: return "no member runs past the end of the archive";
    case kTailReadOnlyFormat: return "only QBX and TAR archives are repaired";
    case kTailTorn: return "the archive cannot be opened for writing, or it changed since it was listed";
    default: return "the listing stops at damage that is not an incomplete last member";
  }
}

std::string Describe(const TornTail& tail) {
  if (tail.claimed == 0)
    return "the incomplete member header at the end (" + std::to_string(tail.written) + " bytes)";
  return "the incomplete member " + PrintableText(tail.name) + " (" + std::to_string(tail.written) + " of " +
         std::to_string(tail.claimed) + " bytes written)";
}

int NothingRepaired(const CliIo& io, const char* why) {
  CliWrite(io, kCliErr, std::string("qbx: nothing to repair: ") + why + "\n");
  return static_cast<int>(kResultSave);
}

// The question on a terminal; without one only --yes cuts.
int Agreed(const CliOptions& o, const CliIo& io, const TornTail& tail) {
  if (o.yes) return 0;
  if (!StdinIsTerminal() || !StderrIsTerminal()) {
    CliWrite(io, kCliErr, "qbx: " + Describe(tail) + " was not cut: use --yes to cut it without a question\n");
    return static_cast<int>(kResultSave);
  }
  char answer = AskLetter("Cut " + Describe(tail) + "? [y/N] ", "nyY");
  return static_cast<int>(answer == 'n' ? kResultCancelled : kResultOk);
}

int Repair(ArchiveContext* c, const CliOptions& o, const CliIo& io) {
  TornTail tail;
  ResultCode r = FindTornTail(c, &tail);
  if (r == kResultSave) return NothingRepaired(io, WhyNothing(tail.state));
  if (r != kResultOk) return ReportResult(io, r, false);
  int agreed = Agreed(o, io, tail);
  if (agreed != 0) return agreed;
  r = RepairTornTail(c, &tail);
  if (r == kResultSave) return NothingRepaired(io, WhyNothing(tail.state));
  if (r != kResultOk) return ReportResult(io, r, false);
  CliWrite(io, kCliOut, "Cut " + Describe(tail) + "; the archive can be changed again.\n");
  return 0;
}
}  // namespace

int RunRepairVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  CliOptions o;
  if (!ParseOptions(args, kOptYes, &o, io) || o.positional.size() != 1) {
    CliWrite(io, kCliErr, kUsage);
    return kExitUsage;
  }
  OpenedArchive opened;
  ResultCode r = OpenForVerb(&opened, o.positional[0], false, io);
  if (r == kResultOpen) return static_cast<int>(r);  // missing or unreadable: said so
  // A file that does not even list (not an archive, a damaged ZIP) is not ours to cut.
  int status = r == kResultOk ? Repair(&opened.session.context, o, io) : NothingRepaired(io, "the archive cannot be listed");
  CloseArchive(&opened.session.context);
  return status;
}
