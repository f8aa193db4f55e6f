#include "support/test_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "core/archive.h"
#include "core/member_name.h"
#include "core/names.h"
#include "formats/formats.h"

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "qbx-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++);
  if (info != nullptr) name += std::string("-") + info->name();
  for (char& c : name)
    if (c == '/' || c == '\\') c = '_';
  root = fs::temp_directory_path() / name;
  fs::remove_all(root);
  fs::create_directories(root);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

std::u16string Wide(const fs::path& path) { return path.u16string(); }

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path.string() << " (still open for writing?)";
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Joined(std::initializer_list<Bytes> pieces) {
  Bytes all;
  for (const Bytes& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
  return all;
}

Bytes Cut(const Bytes& bytes, size_t size) { return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(size)); }

fs::path Utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

fs::path FixturesDir() {
  const char* dir = std::getenv("QBX_FIXTURES");
  if (dir == nullptr || *dir == 0) {
    ADD_FAILURE() << "QBX_FIXTURES is not set: run the suite through ctest or scripts/test";
    return fs::path();
  }
  return fs::path(dir);
}

std::string Utf8Of(const std::u16string& wide) {
  std::string out(wide.size() * 3 + 1, '\0');
  out.resize(WideToUtf8(wide.c_str(), reinterpret_cast<uint8_t*>(out.data()), static_cast<uint32_t>(out.size())));
  return out;
}

namespace {
uint32_t CollectMember(ArchiveContext* context) {
  auto* self = static_cast<ListingContext*>(context->owner);
  uint64_t offset = context->memberIndex < self->offsets.size() ? self->offsets[context->memberIndex] : 0;
  std::u16string wide(kMemberNameChars, u'\0');
  DecodeMemberName(context, wide.data());
  self->members.push_back({context->memberIndex, context->entry, offset, Utf8Of(wide.c_str())});
  return 1;
}
}  // namespace

ListingContext::ListingContext(const fs::path& archive, uint32_t codePage)
    : offsets(4096, ~uint64_t{0}), path(Wide(archive)) {
  InitArchiveContext(&context, AllFormatTable());
  context.archivePath = path.c_str();
  context.memberOffsets = offsets.data();
  context.memberOffsetCapacity = static_cast<uint32_t>(offsets.size());
  context.owner = this;
  context.onMember = CollectMember;
  context.headerCodePage = codePage;
}

ListingContext::~ListingContext() { CloseArchive(&context); }

ResultCode ListingContext::Open(uint32_t createFlag) {
  members.clear();
  return OpenArchive(&context, createFlag);
}

std::string NameOf(const EntryRecord& entry) {
  return std::string(reinterpret_cast<const char*>(entry.name),
                     strnlen(reinterpret_cast<const char*>(entry.name), sizeof entry.name));
}

Bytes ReadOpenArchive(const ArchiveContext& context) {
  Bytes bytes(8192);
  Bytes all;
  uint32_t got = 0;
  if (!FileSeek(context.archiveFile, 0, kSeekBegin, nullptr)) return all;
  while (FileRead(context.archiveFile, bytes.data(), static_cast<uint32_t>(bytes.size()), &got) && got > 0)
    all.insert(all.end(), bytes.begin(), bytes.begin() + got);
  return all;
}
