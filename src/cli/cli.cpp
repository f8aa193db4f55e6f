#include "cli/cli.h"

#include <cstdio>

#include <cstring>

#include "cli/json.h"
#include "core/names.h"
#include "formats/formats.h"
#include "jobs/main_state.h"

namespace {
constexpr char kUsage[] =
    "usage: qbx VERB [OPTIONS] ARCHIVE ...\n"
    "  qbx list [--json] [--sort name|date|type|size|extracted|details|archive] [--reverse] ARCHIVE\n"
    "  qbx test ARCHIVE [INDEX...]\n"
    "  qbx extract ARCHIVE -o DIR [INDEX...] [--overwrite | --skip-existing]\n"
    "  qbx create ARCHIVE                   a new empty archive (.qbx, .tar or .zip)\n"
    "  qbx add ARCHIVE PATH... [--level fast|normal|best]  files, and folders with everything in them\n"
    "  qbx rename ARCHIVE INDEX NEWNAME\n"
    "  qbx prefix ARCHIVE --prepend TEXT INDEX...\n"
    "  qbx prefix ARCHIVE --trim N INDEX...\n"
    "  qbx chmod ARCHIVE OCTAL INDEX...     TAR permission modes\n"
    "  qbx delete-last ARCHIVE              remove the last member\n"
    "  qbx repair ARCHIVE [--yes]           cut away an incomplete last member (an interrupted add)\n"
    "  qbx view ARCHIVE INDEX --as MODE [--page N] [--wide]  one page of a member\n"
    "Settings: --utf8 (TAR names in UTF-8), --any-path (keep names as stored when extracting),\n"
    "  --base-folder (added folders keep their own name), --hidden (add hidden files too;\n"
    "  on Linux a name starting with \".\" is hidden).\n"
    "details: the column of TAR modes, QBX attributes and ZIP and GZ methods.\n"
    "Encrypted ZIP members: --password TEXT or --skip-encrypted (otherwise asked on a terminal).\n"
    "The exit status is the result code: 0 success, 1 cancelled (Ctrl+C), others as printed.\n";

struct Verb {
  const char16_t* name;
  int (*run)(const std::vector<std::u16string>& args, const CliIo& io);
};
constexpr Verb kVerbs[] = {
    {u"list", RunListVerb},
    {u"create", RunCreateVerb},
    {u"add", RunAddVerb},
    {u"rename", RunRenameVerb},
    {u"prefix", RunPrefixVerb},
    {u"chmod", RunChmodVerb},
    {u"delete-last", RunDeleteLastVerb},
    {u"test", RunTestVerb},
    {u"extract", RunExtractVerb},
    {u"view", RunViewVerb},
    {u"repair", RunRepairVerb},
};
}  // namespace

void CliWrite(const CliIo& io, CliStream stream, const std::string& text) {
  io.write(io.user, stream, text.data(), text.size());
}

std::string ToUtf8(const std::u16string& text) {
  std::string out(text.size() * 3 + 1, '\0');
  out.resize(WideToUtf8(text.c_str(), reinterpret_cast<uint8_t*>(out.data()), static_cast<uint32_t>(out.size())));
  return out;
}

std::string PrintableText(const std::u16string& text, bool keepLines) {
  std::string out;
  out.reserve(text.size());
  std::u16string run;
  auto flush = [&] {
    out += ToUtf8(run);
    run.clear();
  };
  for (char16_t c : text) {
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    if (!control || (keepLines && (c == u'\n' || c == u'\t'))) {
      run.push_back(c);
      continue;
    }
    flush();
    // Octal, as GNU tar shows them: "\033" for ESC; C1 controls by their UTF-8 bytes.
    std::string bytes = ToUtf8(std::u16string(1, c));
    for (char b : bytes) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\%03o", static_cast<unsigned>(static_cast<uint8_t>(b)));
      out += escaped;
    }
  }
  flush();
  return out;
}

std::u16string FromUtf8(const std::string& text) {
  std::u16string out(text.size() + 1, u'\0');
  Utf8ToWide(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()),
             out.data());
  out.resize(WideLength(out.c_str()));
  return out;
}

void InitCliSession(CliSession* session, const std::u16string& archivePath) {
  session->path = archivePath;
  session->offsets.assign(kMemberOffsetCapacity, 0);
  InitArchiveContext(&session->context, AllFormatTable());
  session->context.archivePath = session->path.c_str();
  session->context.memberOffsets = session->offsets.data();
  session->context.memberOffsetCapacity = kMemberOffsetCapacity;
  session->context.owner = session;
}

int ReportResult(const CliIo& io, ResultCode code, bool json) {
  if (code == kResultOk || code == kResultCancelled) return static_cast<int>(code);
  std::string title = ToUtf8(ResultTitle(code));
  std::string text = ToUtf8(ResultText(code));
  if (json) {
    std::string out = "{";
    AppendJsonKey(out, "result");
    out += std::to_string(code) + ",";
    AppendJsonKey(out, "title");
    AppendJsonString(out, title);
    out += ",";
    AppendJsonKey(out, "text");
    AppendJsonString(out, text);
    out += "}\n";
    CliWrite(io, kCliOut, out);
  } else {
    CliWrite(io, kCliErr, title + ": " + text + "\n");
  }
  return static_cast<int>(code);
}

int QbxMain(const std::vector<std::u16string>& args, const CliIo& io) {
  if (args.size() >= 2 && (args[1] == u"--help" || args[1] == u"-h" || args[1] == u"help")) {
    CliWrite(io, kCliOut, kUsage);
    return 0;
  }
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == u"--help") {
      CliWrite(io, kCliOut, kUsage);
      return 0;
    }
  }
  if (args.size() >= 2) {
    for (const Verb& verb : kVerbs)
      if (args[1] == verb.name) return verb.run(std::vector<std::u16string>(args.begin() + 2, args.end()), io);
    CliWrite(io, kCliErr, "qbx: unknown verb '" + ToUtf8(args[1]) + "'\n");
  }
  CliWrite(io, kCliErr, kUsage);
  return kExitUsage;
}
