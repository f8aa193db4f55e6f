// qbx create: a new empty archive, QBX, TAR or ZIP by its extension.
#include "cli/cli.h"
#include "core/archive.h"

namespace {
uint32_t IgnoreMember(ArchiveContext*) { return 1; }
}  // namespace

int RunCreateVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == u'-') {
    CliWrite(io, kCliErr, "usage: qbx create ARCHIVE\n");
    return kExitUsage;
  }
  CliSession session;
  InitCliSession(&session, args[0]);
  ArchiveContext& c = session.context;
  c.onMember = IgnoreMember;
  ResultCode r = OpenArchive(&c, 1);
  CloseArchive(&c);
  return ReportResult(io, r, false);
}
