// qbx test and qbx extract: every member, checked or written below a folder.
#include "cli/archive_session.h"
#include "core/archive.h"
#include "core/folders.h"
#include "core/output_name.h"
#include "core/names.h"

namespace {
constexpr char kTestPassed[] = "Test completed. There are no errors.\n";
constexpr char kTestFailed[] = "Test failed.\n";
constexpr char kExtractionFailed[] = "Extraction failed.\n";

uint32_t TestEveryMember(ArchiveContext*) { return 1; }

bool EndsInSeparator(const char16_t* name) {
  uint32_t n = WideLength(name);
  return n > 0 && (name[n - 1] == u'/' || name[n - 1] == u'\\');
}

// Names are made safe to use below the destination; folders are made, not written.
uint32_t ExtractEveryMember(ArchiveContext* context) {
  CleanOutputName(context->memberName);
  if (EndsInSeparator(context->memberName)) {
    MakeParentFolders(context->memberName);
    return 0;
  }
  return 1;
}

int RunWalk(const std::u16string& path, bool utf8, uint32_t testFlag, const std::u16string& folder,
            const CliIo& io) {
  OpenedArchive opened;
  if (OpenForVerb(&opened, path, utf8, io) != kResultOk) return static_cast<int>(opened.session.context.result);
  ArchiveContext& c = opened.session.context;
  c.onMember = testFlag != 0 ? TestEveryMember : ExtractEveryMember;
  // Member names are paths below the destination, which becomes the current folder.
  char16_t previous[4096];
  bool moved = false;
  ResultCode r = kResultOk;
  if (testFlag == 0) {
    moved = GetCurrentFolder(previous, sizeof previous / sizeof previous[0]) &&
            MakeParentFolders((folder + u"/").c_str()) && SetCurrentFolder(folder.c_str());
    if (!moved) r = c.result = kResultSave;
  }
  if (r == kResultOk) r = RunMembers(&c, opened.listedBytes, testFlag);
  if (moved) SetCurrentFolder(previous);
  CloseArchive(&c);
  if (r != kResultOk && r != kResultCancelled) ReportResult(io, r, false);
  if (r == kResultOk && testFlag != 0) CliWrite(io, kCliOut, kTestPassed);
  if (r != kResultOk) CliWrite(io, kCliOut, testFlag != 0 ? kTestFailed : kExtractionFailed);
  return static_cast<int>(r);
}
}  // namespace

int RunTestVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  bool utf8 = false;
  std::u16string path;
  for (const std::u16string& a : args) {
    if (a == u"--utf8") utf8 = true;
    else if (path.empty() && !IsOption(a)) path = a;
    else path = u"";
  }
  if (path.empty() || args.size() > 2) {
    CliWrite(io, kCliErr, "usage: qbx test [--utf8] ARCHIVE\n");
    return kExitUsage;
  }
  return RunWalk(path, utf8, 1, u"", io);
}

int RunExtractVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  bool utf8 = false, bad = false;
  std::u16string path, folder;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == u"--utf8") utf8 = true;
    else if (args[i] == u"-o" && i + 1 < args.size()) folder = args[++i];
    else if (path.empty() && !IsOption(args[i])) path = args[i];
    else bad = true;
  }
  if (bad || path.empty() || folder.empty()) {
    CliWrite(io, kCliErr, "usage: qbx extract [--utf8] ARCHIVE -o FOLDER\n");
    return kExitUsage;
  }
  return RunWalk(path, utf8, 0, folder, io);
}
