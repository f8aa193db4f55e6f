// qbx view: one page of a member's data, or its header, as the viewer window shows it.
#include "cli/archive_session.h"
#include "cli/cli.h"
#include "core/archive.h"
#include "jobs/view_title.h"
#include "viewer/dump.h"
#include "viewer/member_fetch.h"
#include "viewer/view_mode.h"

namespace {
constexpr char kViewUsage[] =
    "usage: qbx view [--utf8] ARCHIVE INDEX --as ansi|utf8|utf16le|utf16be|hex|text|header-hex|header-text|stored-hex\n"
    "                [--page N] [--wide] [--title] [--password TEXT]\n";

struct ModeName {
  const char16_t* name;
  uint32_t mode;
};
constexpr ModeName kModeNames[] = {
    {u"ansi", kViewAnsi},         {u"utf8", kViewUtf8},           {u"utf16le", kViewUtf16Le},
    {u"utf16be", kViewUtf16Be},   {u"hex", kViewDataHex},         {u"text", kViewDataText},
    {u"header-hex", kViewHeaderHex}, {u"header-text", kViewHeaderText}, {u"stored-hex", kViewStoredHex},
};

struct ViewRequest {
  std::u16string archive;
  uint32_t index = 0;
  uint32_t mode = kViewModeCount;
  uint32_t page = 1;  // counted from 1, as the title shows it
  bool wide = false;
  bool title = false;
  bool utf8 = false;
  bool hasPassword = false;
  std::string password;  // its bytes as given
};

// What the listing said about the viewed member: the page count comes from its listed size.
struct ViewListing {
  CliSession session;
  uint32_t index;
  int64_t storedSize;
  uint64_t extractedSize;
};

uint32_t NoteViewedMember(ArchiveContext* context) {
  auto* listing = static_cast<ViewListing*>(context->owner);
  if (context->memberIndex == listing->index) {
    listing->storedSize = context->entry.packedSize;
    listing->extractedSize = context->entry.size;
  }
  return 1;
}

bool ParseMode(const std::u16string& name, uint32_t* mode) {
  for (const ModeName& m : kModeNames)
    if (name == m.name) return (*mode = m.mode), true;
  return false;
}

bool ParseViewArgs(const std::vector<std::u16string>& args, ViewRequest* r) {
  std::vector<std::u16string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == u"--as") {
      if (!hasValue || !ParseMode(args[++i], &r->mode)) return false;
    } else if (a == u"--page") {
      if (!hasValue || !ParseIndex(args[++i], &r->page) || r->page == 0) return false;
    } else if (a == u"--wide") {
      r->wide = true;
    } else if (a == u"--title") {
      r->title = true;
    } else if (a == u"--utf8") {
      r->utf8 = true;
    } else if (a == u"--password") {
      if (!hasValue) return false;
      r->hasPassword = true;
      r->password = ToUtf8(args[++i]);
    } else if (IsOption(a)) {
      return false;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2 || r->mode == kViewModeCount) return false;
  r->archive = positional[0];
  return ParseIndex(positional[1], &r->index);
}

// The viewer's line breaks are an edit control's CR LF; a terminal takes its own, and on a
// terminal the text's own control characters are shown escaped, never obeyed.
std::string TerminalText(const std::u16string& text, bool toTerminal) {
  std::u16string lines;
  lines.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')) lines.push_back(text[i]);
  if (!lines.empty() && lines.back() != u'\n') lines.push_back(u'\n');
  return toTerminal ? PrintableText(lines, true) : ToUtf8(lines);
}
}  // namespace

int RunViewVerb(const std::vector<std::u16string>& args, const CliIo& io) {
  ViewRequest request;
  if (!ParseViewArgs(args, &request)) {
    CliWrite(io, kCliErr, kViewUsage);
    return kExitUsage;
  }
  if (!ArchiveExists(request.archive, io, false)) return static_cast<int>(kResultOpen);
  ViewListing listing;
  InitCliSession(&listing.session, request.archive);
  listing.index = request.index;
  listing.storedSize = 0;
  listing.extractedSize = 0;
  ArchiveContext& c = listing.session.context;
  c.owner = &listing;
  c.onMember = NoteViewedMember;
  c.headerCodePage = request.utf8 ? kCodePageUtf8 : 0;
  ResultCode r = OpenArchive(&c, 0);
  if (r != kResultOk) return ReportResult(io, r, false);

  PrepareMemberView(&c, listing.storedSize);
  c.password = request.hasPassword ? reinterpret_cast<uint8_t*>(request.password.data()) : nullptr;
  const int64_t pagedSize = ShowsExtractedData(request.mode) ? static_cast<int64_t>(listing.extractedSize) : listing.storedSize;
  uint32_t pageCount = ViewPageCount(request.mode, pagedSize);
  uint32_t page = MoveViewPage(0, int64_t{request.page} - 1, pageCount);
  PageBuffer buffer;
  r = FetchView(&c, request.index, request.mode, page, &buffer);
  CloseArchive(&c);
  if (r != kResultOk) return ReportResult(io, r, false);
  if (request.title) CliWrite(io, kCliOut, ToUtf8(ViewTitle(request.mode, page, pageCount)) + "\n");
  uint32_t lineBytes = request.wide ? kTextDumpWide : kTextDumpNarrow;
  CliWrite(io, kCliOut, TerminalText(ConvertView(request.mode, buffer, page, lineBytes), io.outIsTerminal));
  return 0;
}
