#include <windows.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "cli/terminal.h"
#include "core/context.h"

namespace {
std::atomic<uint32_t>* gJobState = nullptr;

BOOL WINAPI OnControl(DWORD type) {
  if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && gJobState != nullptr) {
    gJobState->store(kJobCancelling);
    return TRUE;
  }
  return FALSE;
}

bool ReadLine(std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n')
    if (c != '\r') *line += static_cast<char>(c);
  return c != EOF || !line->empty();
}
}  // namespace

bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool ReadAnswerLine(std::string* line) { return ReadLine(line); }

bool ReadSecret(const std::string& prompt, std::string* secret) {
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  bool restore = GetConsoleMode(in, &mode) != 0;
  if (restore) SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  bool ok = ReadLine(secret);
  if (restore) SetConsoleMode(in, mode);
  std::fputs("\n", stderr);
  return ok;
}

void BeginCancelOnInterrupt(std::atomic<uint32_t>* jobState) {
  gJobState = jobState;
  SetConsoleCtrlHandler(OnControl, TRUE);
}

void EndCancelOnInterrupt() {
  SetConsoleCtrlHandler(OnControl, FALSE);
  gJobState = nullptr;
}
