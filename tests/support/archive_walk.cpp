#include "support/archive_walk.h"

#include <gtest/gtest.h>

#include "core/archive.h"
#include "core/folders.h"

namespace {
struct Selection {
  const std::vector<std::u16string>* skip;
  std::vector<std::u16string> offered;
};

uint32_t Select(ArchiveContext* context) {
  auto* s = static_cast<Selection*>(context->owner);
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

ResultCode WalkArchive(const std::filesystem::path& archive, const std::filesystem::path& out,
                       const WalkOptions& fields, std::vector<std::u16string>* offered) {
  std::filesystem::create_directories(out);
  ListingContext l(archive);
  if (ResultCode r = l.Open()) return r;
  Selection selection{&fields.skip, {}};
  l.context.owner = &selection;
  l.context.onMember = Select;
  std::string password = fields.password ? fields.password : "";
  l.context.password = fields.password ? reinterpret_cast<uint8_t*>(password.data()) : nullptr;
  char16_t previous[4096];
  EXPECT_TRUE(GetCurrentFolder(previous, 4096));
  std::u16string folder = Wide(out);
  EXPECT_TRUE(SetCurrentFolder(folder.c_str()));
  const ResultCode r = RunMembers(&l.context, static_cast<int64_t>(l.context.fileSize), fields.testFlag);
  SetCurrentFolder(previous);
  if (offered) *offered = selection.offered;
  return r;
}
