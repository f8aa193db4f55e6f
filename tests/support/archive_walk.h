// Test and extraction walks the way the jobs run them: the destination is the current
// folder, folders are made, the named members are skipped, a password may be given.
#pragma once

#include <string>
#include <vector>

#include "support/test_files.h"

struct WalkOptions {
  uint32_t testFlag = 1;  // also the strict flag, as the Test job sets it
  const char* password = nullptr;
  std::vector<std::u16string> skip;
  void (*prepare)(ArchiveContext*) = nullptr;  // once the archive is open; faults it arms end with the walk
  uint32_t workers = 0;                         // threads the walk may decode members on
  void (*offer)(ArchiveContext*) = nullptr;     // as each member is offered
  bool unlisted = false;                        // opened for the walk alone, as qbx test does
};

// Extraction of every member, with no password.
inline const WalkOptions kExtract{0, nullptr, {}};

// Opens archive, then tests it or extracts it into the folder out (created).
// offered, when given, gets the names the walk offered to the member callback.
ResultCode WalkArchive(const std::filesystem::path& archive, const std::filesystem::path& out,
                       const WalkOptions& fields, std::vector<std::u16string>* offered = nullptr);

// The bytes saved as a scratch file of that name and listed, then tested when that opened them.
struct Listing {
  ResultCode result, verdict;
  std::vector<ListedMember> members;
  uint32_t openMode, memberCount;
  uint64_t appendOffset;
  FormatKind format;
};
Listing ListBytes(const Bytes& archive, const std::string& file, uint32_t codePage = 65001);

// The folder is the current one until the end of the scope.
struct InFolder {
  char16_t previous[4096];
  explicit InFolder(const std::filesystem::path& folder);
  ~InFolder();
};
