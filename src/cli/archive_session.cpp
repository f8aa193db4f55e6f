#include "cli/archive_session.h"

#include "core/archive.h"

namespace {
uint32_t NoteListedMember(ArchiveContext* context) {
  auto* opened = static_cast<OpenedArchive*>(context->owner);
  opened->lastIndex = context->memberIndex;
  opened->anyMember = true;
  opened->listedBytes += context->entry.packedSize;
  return 1;
}
}  // namespace

bool ArchiveExists(const std::u16string& path, const CliIo& io, bool json) {
  uint32_t attributes = 0;
  if (GetPathAttributes(path.c_str(), &attributes) && (attributes & kAttrDirectory) == 0) return true;
  if (!json) CliWrite(io, kCliErr, "qbx: " + PrintableText(path) + ": no such archive\n");
  ReportResult(io, kResultOpen, json);
  return false;
}

ResultCode OpenForVerb(OpenedArchive* opened, const std::u16string& path, bool utf8, const CliIo& io) {
  InitCliSession(&opened->session, path);
  if (!ArchiveExists(path, io, false)) return Fail(&opened->session.context, kResultOpen);
  opened->lastIndex = 0;
  opened->anyMember = false;
  opened->listedBytes = 0;
  ArchiveContext& c = opened->session.context;
  c.owner = opened;
  c.onMember = NoteListedMember;
  c.headerCodePage = utf8 ? kCodePageUtf8 : 0;
  ResultCode r = OpenArchive(&c, 0);
  if (r != kResultOk) ReportResult(io, r, false);
  return r;
}

bool ParseIndex(const std::u16string& text, uint32_t* index) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
  }
  if (value > 0xFFFFFFFFu) return false;
  *index = static_cast<uint32_t>(value);
  return true;
}

bool IsOption(const std::u16string& text) { return text.size() > 1 && text[0] == u'-'; }
