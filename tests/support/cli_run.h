// Runs qbx in-process and keeps what it printed.
#pragma once

#include <string>
#include <vector>

struct CliRun { std::string out, err; int status; };

// args without the program name.
CliRun RunQbx(std::vector<std::u16string> args, bool outIsTerminal = false);
