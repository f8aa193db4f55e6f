// The terminal under qbx: is there one, asking on it, and Ctrl+C.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

bool StdinIsTerminal();
bool StdoutIsTerminal();
bool StderrIsTerminal();
// Shows the question on stderr and reads one of the letters (the first is the default).
char AskLetter(const std::string& question, const char* letters);
// One line typed on the terminal, without its line break; false at its end.
bool ReadAnswerLine(std::string* line);
// Reads a line with echo off; false when nothing could be read.
bool ReadSecret(const std::string& prompt, std::string* secret);
// While a job runs, Ctrl+C asks it to stop: the job state becomes "cancelling".
void BeginCancelOnInterrupt(std::atomic<uint32_t>* jobState);
void EndCancelOnInterrupt();
