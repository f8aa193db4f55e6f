#include "support/archive_walk.h"

#include <gtest/gtest.h>

#include "core/archive.h"
#include "core/folders.h"

namespace {
struct Selection {
  const std::vector<std::u16string>* skip;
  void (*offer)(ArchiveContext*);
  std::vector<std::u16string> offered;
};

uint32_t Select(ArchiveContext* context) {
  auto* s = static_cast<Selection*>(context->owner);
  if (s->offer != nullptr) s->offer(context);
  std::u16string name(context->memberName);
  s->offered.push_back(name);
  for (const std::u16string& skipped : *s->skip)
    if (skipped == name) return 0;
  if (!name.empty() && name.back() == u'/') {
    MakeParentFolders(context->memberName);
    return 0;
  }
  return 1;
}
}  // namespace

InFolder::InFolder(const std::filesystem::path& folder) {
  EXPECT_TRUE(GetCurrentFolder(previous, 4096));
  std::u16string wide = Wide(folder);
  EXPECT_TRUE(SetCurrentFolder(wide.c_str()));
}

InFolder::~InFolder() { SetCurrentFolder(previous); }

ResultCode WalkArchive(const std::filesystem::path& archive, const std::filesystem::path& out,
                       const WalkOptions& fields, std::vector<std::u16string>* offered) {
  std::filesystem::create_directories(out);
  ListingContext l(archive);
  l.context.walkFollows = fields.unlisted ? 1 : 0;
  if (ResultCode r = l.Open()) return r;
  Selection selection{&fields.skip, fields.offer, {}};
  l.context.walkWorkers = fields.workers;
  l.context.owner = &selection;
  l.context.onMember = Select;
  std::string password = fields.password ? fields.password : "";
  l.context.password = fields.password ? reinterpret_cast<uint8_t*>(password.data()) : nullptr;
  if (fields.prepare != nullptr) fields.prepare(&l.context);
  ResultCode r;
  {
    InFolder in(out);
    r = RunMembers(&l.context, static_cast<int64_t>(l.context.fileSize), fields.testFlag);
  }
  DisarmFaults();
  if (offered) *offered = selection.offered;
  return r;
}

Listing ListBytes(const Bytes& archive, const std::string& file, uint32_t codePage) {
  ScratchDir dir;
  WriteBytes(dir.Path(file), archive);
  Listing r{};
  {
    ListingContext l(dir.Path(file), codePage);
    r.result = l.Open();
    r.members = l.members;
    r.openMode = l.context.openMode;
    r.memberCount = l.context.memberCount;
    r.appendOffset = l.context.appendOffset;
    r.format = l.context.format;
  }
  r.verdict = r.result == kResultOk ? WalkArchive(dir.Path(file), dir.Path("out"), {}) : r.result;
  return r;
}
