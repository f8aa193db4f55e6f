// Command-line options shared by the verbs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/context.h"
#include "jobs/list_columns.h"

struct CliOptions {
  bool json = false;
  bool utf8 = false;        // the four settings
  bool anyPath = false;
  bool baseFolder = false;
  bool hidden = false;
  bool overwrite = false;
  bool skipExisting = false;
  bool skipEncrypted = false;
  bool hasPassword = false;
  std::string password;     // its bytes as given
  bool reverse = false;
  uint32_t sortColumn = kUnsorted;  // archive order
  std::u16string output;    // -o
  std::u16string prepend;   // --prepend
  int32_t trim = -1;        // --trim
  bool yes = false;         // --yes: repair without asking
  bool outer = false;       // --outer: a TAR inside gzip as the gzip file it is
  bool walkAll = false;     // test or extract: every member is walked once opened
  uint32_t level = kCompressNormal;  // --level: how hard a ZIP member is compressed
  std::vector<std::u16string> positional;
};

// Options a verb accepts, as flags of this mask.
enum : uint32_t {
  kOptJson = 1 << 0,
  kOptSettings = 1 << 1,  // --utf8 --any-path --base-folder --hidden
  kOptExisting = 1 << 2,  // --overwrite --skip-existing
  kOptPassword = 1 << 3,  // --password TEXT --skip-encrypted
  kOptSort = 1 << 4,      // --sort COLUMN --reverse
  kOptOutput = 1 << 5,    // -o FOLDER
  kOptPrefix = 1 << 6,    // --prepend TEXT --trim N
  kOptYes = 1 << 7,       // --yes
  kOptOuter = 1 << 8,     // --outer
  kOptLevel = 1 << 9,     // --level fast|normal|best
};

// False (with a message on stderr) when an option is unknown or lacks its value.
bool ParseOptions(const std::vector<std::u16string>& args, uint32_t accepted, CliOptions* options,
                  const CliIo& io);
// Member indexes from positional arguments starting at first; false when one is no number.
bool ParseIndexes(const std::vector<std::u16string>& args, size_t first, std::vector<uint32_t>* indexes);
