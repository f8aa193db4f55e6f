#include "support/cli_run.h"

#include "cli/cli.h"

namespace {
void Capture(void* user, CliStream stream, const char* data, size_t size) {
  auto* run = static_cast<CliRun*>(user);
  (stream == kCliOut ? run->out : run->err).append(data, size);
}
}  // namespace

CliRun RunQbx(std::vector<std::u16string> args, bool outIsTerminal) {
  CliRun run;
  args.insert(args.begin(), u"qbx");
  run.status = QbxMain(args, CliIo{Capture, &run, outIsTerminal});
  return run;
}
