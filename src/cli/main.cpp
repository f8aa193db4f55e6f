// Entry point of qbx: wide arguments in, UTF-8 text out.
#include <cstdio>

#include "cli/cli.h"
#include "cli/terminal.h"

namespace {
void WriteToTerminal(void*, CliStream stream, const char* data, size_t size) {
  std::fwrite(data, 1, size, stream == kCliOut ? stdout : stderr);
}
}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
#else
int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 0; i < argc; ++i) args.push_back(FromUtf8(argv[i]));
#endif
  CliIo io = {WriteToTerminal, nullptr, StdoutIsTerminal()};
  int status = QbxMain(args, io);
  std::fflush(stdout);
  return status;
}
