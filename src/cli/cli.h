// qbx, the command-line tool: verbs over the archive core.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/context.h"

enum CliStream : int { kCliOut = 1, kCliErr = 2 };

// Where the tool's text goes: the terminal in the program, strings in tests.
struct CliIo {
  void (*write)(void* user, CliStream stream, const char* data, size_t size);
  void* user;
  bool outIsTerminal = false;  // viewed text is then shown with its control characters escaped
};

// Exit status: the ResultCode of the operation, or kExitUsage for a malformed command.
inline constexpr int kExitUsage = 2;

int QbxMain(const std::vector<std::u16string>& args, const CliIo& io);

// Shared by the verbs.
void CliWrite(const CliIo& io, CliStream stream, const std::string& text);
std::string ToUtf8(const std::u16string& text);
// UTF-8 with every control character (C0, DEL, C1) written as octal escapes ("\033"), so
// that a name from an archive cannot move the cursor, retitle or clear the terminal.
// keepLines leaves line feeds and tabs as they are (text being viewed).
std::string PrintableText(const std::u16string& text, bool keepLines = false);
std::u16string FromUtf8(const std::string& text);
// A context ready for one archive: member offsets allocated, format table installed.
struct CliSession {
  ArchiveContext context;
  std::vector<uint64_t> offsets;
  std::u16string path;
};
void InitCliSession(CliSession* session, const std::u16string& archivePath);
// Prints "Title: Text" on stderr, or the JSON error object on stdout; returns the code.
int ReportResult(const CliIo& io, ResultCode code, bool json);

int RunListVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunCreateVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunAddVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunRenameVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunPrefixVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunChmodVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunDeleteLastVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunTestVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunExtractVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunViewVerb(const std::vector<std::u16string>& args, const CliIo& io);
int RunRepairVerb(const std::vector<std::u16string>& args, const CliIo& io);
