#include "cli/terminal.h"

#include <cstdio>
#include <cstring>

char AskLetter(const std::string& question, const char* letters) {
  std::fputs(question.c_str(), stderr);
  std::fflush(stderr);
  std::string line;
  if (!ReadAnswerLine(&line) || line.empty()) return letters[0];
  const char* found = std::strchr(letters, line[0]);
  return found != nullptr ? *found : letters[0];
}
