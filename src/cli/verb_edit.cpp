// qbx add, rename, chmod and delete-last: changes to QBX and TAR archives.
#include "cli/archive_session.h"
#include "core/append.h"
#include "core/archive.h"
#include "core/edit.h"

namespace {
constexpr size_t kMaxRenameChars = 256;

int Usage(const CliIo& io, const char* text) {
  CliWrite(io, kCliErr, std::string("usage: ") + text + "\n");
  return kExitUsage;
}

// Splits "--utf8" from the positional arguments.
std::vector<std::u16string> Positional(const std::vector<std::u16string>& args, bool* utf8, bool* bad) {
  std::vector<std::u16string> out;
  *utf8 = false;
  *bad = false;
  for (const std::u16string& a : args) {
    if (a == u"--utf8") *utf8 = true;
    else if (IsOption(a)) *bad = true;
    else out.push_back(a);
  }
  return out;
}

std::u16string FileNameOf(const std::u16string& path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

int Finish(OpenedArchive& opened, const CliIo& io, ResultCode r) {
  CloseArchive(&opened.session.context);
  return ReportResult(io, r, false);
}
}  // namespace

int RunAddVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  bool utf8, bad;
  std::vector<std::u16string> p = Positional(args, &utf8, &bad);
  if (bad || p.size() < 2 || p.size() > 3) return Usage(io, "qbx add [--utf8] ARCHIVE FILE [NAME]");
  OpenedArchive opened;
  if (OpenForVerb(&opened, p[0], utf8, io) != kResultOk) return static_cast<int>(opened.session.context.result);
  std::u16string name = p.size() == 3 ? p[2] : FileNameOf(p[1]);
  opened.session.context.onMember = nullptr;
  return Finish(opened, io, AppendFile(&opened.session.context, p[1].c_str(), name.c_str()));
}

int RunRenameVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  bool utf8, bad;
  std::vector<std::u16string> p = Positional(args, &utf8, &bad);
  uint32_t index = 0;
  if (bad || p.size() != 3 || !ParseIndex(p[1], &index))
    return Usage(io, "qbx rename [--utf8] ARCHIVE INDEX NEWNAME");
  OpenedArchive opened;
  if (OpenForVerb(&opened, p[0], utf8, io) != kResultOk) return static_cast<int>(opened.session.context.result);
  std::u16string name = p[2].substr(0, kMaxRenameChars);
  for (char16_t& c : name)
    if (c == u'\\') c = u'/';
  opened.session.context.onMember = nullptr;
  return Finish(opened, io, RenameMember(&opened.session.context, index, name.c_str()));
}

int RunChmodVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  const char* usage = "qbx chmod ARCHIVE OCTAL INDEX...";
  if (args.size() < 3) return Usage(io, usage);
  uint32_t mode = 0;
  for (char16_t c : args[1]) {
    if (c < u'0' || c > u'7' || mode > 07777) return Usage(io, usage);
    mode = mode * 8 + (c - u'0');
  }
  std::vector<uint32_t> indexes;
  for (size_t i = 2; i < args.size(); ++i) {
    uint32_t index = 0;
    if (!ParseIndex(args[i], &index)) return Usage(io, usage);
    indexes.push_back(index);
  }
  OpenedArchive opened;
  if (OpenForVerb(&opened, args[0], false, io) != kResultOk) return static_cast<int>(opened.session.context.result);
  ArchiveContext& c = opened.session.context;
  if (c.format != kFormatTar) {
    CloseArchive(&c);
    CliWrite(io, kCliErr, "qbx: modes exist in TAR archives only\n");
    return kExitUsage;
  }
  if (c.openMode != kModeReadWrite) return Finish(opened, io, kResultSave);
  c.onMember = nullptr;
  ResultCode r = kResultOk;
  for (uint32_t index : indexes)
    if ((r = SetTarMode(&c, index, mode)) != kResultOk) break;
  return Finish(opened, io, r);
}

int RunDeleteLastVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  if (args.size() != 1 || IsOption(args[0])) return Usage(io, "qbx delete-last ARCHIVE");
  OpenedArchive opened;
  if (OpenForVerb(&opened, args[0], false, io) != kResultOk) return static_cast<int>(opened.session.context.result);
  ArchiveContext& c = opened.session.context;
  c.onMember = nullptr;
  if (c.format != kFormatQbx && c.format != kFormatTar) return Finish(opened, io, kResultSave);
  if (!opened.anyMember) return Finish(opened, io, kResultNotFound);
  return Finish(opened, io, DeleteLastMember(&c, opened.lastIndex));
}
