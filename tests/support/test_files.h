// Scratch folders and files for the suites, on the native file system and under Wine alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/context.h"
#include "support/result_printer.h"

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it.
struct ScratchDir {
  std::filesystem::path root;
  ScratchDir();
  ~ScratchDir();
  std::filesystem::path Path(const std::string& name) const { return root / name; }
};

std::u16string Wide(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadBytes(const std::filesystem::path& path);
Bytes BytesOf(const std::string& text);
// The pieces one after another.
Bytes Joined(std::initializer_list<Bytes> pieces);
// The first size bytes: a file cut short.
Bytes Cut(const Bytes& bytes, size_t size);
// A path from UTF-8 text, which a plain string would be taken for only on POSIX.
std::filesystem::path Utf8Path(const std::string& utf8);

// Folder of the archives made by the independent tools (env QBX_FIXTURES); fails the test
// when it is not set, so that a missing step is never mistaken for a pass.
std::filesystem::path FixturesDir();

// What a listing reported, member by member.
struct ListedMember {
  uint32_t index;
  EntryRecord entry;
  uint64_t offset;  // from the member-offset table
  std::string name;  // as shown, in UTF-8: the whole stored name, decoded
};

// A context with the full format table, offsets table and a member callback that collects.
struct ListingContext {
  ArchiveContext context;
  std::vector<uint64_t> offsets;
  std::vector<ListedMember> members;
  std::u16string path;
  explicit ListingContext(const std::filesystem::path& archive, uint32_t codePage = 65001);
  ~ListingContext();
  ResultCode Open(uint32_t createFlag = 0);
};

// The bytes of an archive that is open, through its own handle: Windows lets nobody else open
// it while we hold it.
Bytes ReadOpenArchive(const ArchiveContext& context);

std::string NameOf(const EntryRecord& entry);  // the name bytes up to the first zero
std::string Utf8Of(const std::u16string& wide);
