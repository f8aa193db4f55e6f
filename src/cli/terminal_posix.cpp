#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "cli/terminal.h"
#include "core/context.h"

namespace {
std::atomic<uint32_t>* gJobState = nullptr;
struct sigaction gPrevious;

void OnInterrupt(int) {
  // Only a lock-free atomic store: safe in a signal handler.
  if (gJobState != nullptr) gJobState->store(kJobCancelling);
}

bool ReadLine(std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') *line += static_cast<char>(c);
  return c != EOF || !line->empty();
}
}  // namespace

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

bool ReadAnswerLine(std::string* line) { return ReadLine(line); }

bool ReadSecret(const std::string& prompt, std::string* secret) {
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  struct termios old;
  bool restore = tcgetattr(STDIN_FILENO, &old) == 0;
  if (restore) {
    struct termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  bool ok = ReadLine(secret);
  if (restore) tcsetattr(STDIN_FILENO, TCSANOW, &old);
  std::fputs("\n", stderr);
  return ok;
}

void BeginCancelOnInterrupt(std::atomic<uint32_t>* jobState) {
  gJobState = jobState;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &gPrevious);
}

void EndCancelOnInterrupt() {
  sigaction(SIGINT, &gPrevious, nullptr);
  gJobState = nullptr;
}
