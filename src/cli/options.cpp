#include "cli/options.h"

#include <utility>

#include "cli/archive_session.h"
#include "jobs/main_state.h"

namespace {
// Scripts written before the details column had its name sort by it as "column6".
constexpr char16_t kOldDetailsKey[] = u"column6";

bool Bad(const CliIo& io, const std::string& text) {
  CliWrite(io, kCliErr, "qbx: " + text + "\n");
  return false;
}

bool ParseSort(const std::u16string& name, uint32_t* column) {
  for (uint32_t i = 0; i <= kUnsorted; ++i)
    if (name == SortKey(i)) {
      *column = i;
      return true;
    }
  if (name != kOldDetailsKey) return false;
  *column = kColumnDetails;
  return true;
}

std::string SortKeysText() {
  std::string text;
  for (uint32_t i = 0; i <= kUnsorted; ++i) {
    if (i > 0) text += i == kUnsorted ? " or " : ", ";
    text += ToUtf8(SortKey(i));
  }
  return text;
}

bool ParseLevel(const std::u16string& name, uint32_t* level) {
  static constexpr std::pair<const char16_t*, uint32_t> kLevels[] = {
      {u"fast", kCompressFast}, {u"normal", kCompressNormal}, {u"best", kCompressBest}};
  for (const auto& [key, value] : kLevels)
    if (name == key) {
      *level = value;
      return true;
    }
  return false;
}

bool ParseCount(const std::u16string& text, int32_t* value) {
  uint32_t n = 0;
  if (!ParseIndex(text, &n) || n > 0x7FFFFFFF) return false;
  *value = static_cast<int32_t>(n);
  return true;
}
}  // namespace

bool ParseOptions(const std::vector<std::u16string>& args, uint32_t accepted, CliOptions* o, const CliIo& io) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    bool hasValue = i + 1 < args.size();
    auto wants = [&](uint32_t flag) { return (accepted & flag) != 0; };
    if (a == u"--json" && wants(kOptJson)) o->json = true;
    else if (a == u"--utf8" && wants(kOptSettings)) o->utf8 = true;
    else if (a == u"--any-path" && wants(kOptSettings)) o->anyPath = true;
    else if (a == u"--base-folder" && wants(kOptSettings)) o->baseFolder = true;
    else if (a == u"--hidden" && wants(kOptSettings)) o->hidden = true;
    else if (a == u"--overwrite" && wants(kOptExisting)) o->overwrite = true;
    else if (a == u"--skip-existing" && wants(kOptExisting)) o->skipExisting = true;
    else if (a == u"--skip-encrypted" && wants(kOptPassword)) o->skipEncrypted = true;
    else if (a == u"--yes" && wants(kOptYes)) o->yes = true;
    else if (a == u"--outer" && wants(kOptOuter)) o->outer = true;
    else if (a == u"--level" && wants(kOptLevel) && hasValue) {
      if (!ParseLevel(args[++i], &o->level)) return Bad(io, "--level takes fast, normal or best");
    }
    else if (a == u"--password" && wants(kOptPassword) && hasValue) {
      o->hasPassword = true;
      o->password = ToUtf8(args[++i]);
      if (o->password.size() > kPasswordMaxBytes)
        return Bad(io, "a password has at most " + std::to_string(kPasswordMaxBytes) + " bytes");
    } else if (a == u"--reverse" && wants(kOptSort)) o->reverse = true;
    else if (a == u"--sort" && wants(kOptSort) && hasValue) {
      if (!ParseSort(args[++i], &o->sortColumn)) return Bad(io, "--sort takes " + SortKeysText());
    } else if (a == u"-o" && wants(kOptOutput) && hasValue) o->output = args[++i];
    else if (a == u"--prepend" && wants(kOptPrefix) && hasValue) o->prepend = args[++i];
    else if (a == u"--trim" && wants(kOptPrefix) && hasValue) {
      if (!ParseCount(args[++i], &o->trim)) return Bad(io, "--trim takes a number");
    } else if (IsOption(a)) return Bad(io, "unknown option or missing value: " + ToUtf8(a));
    else o->positional.push_back(a);
  }
  return true;
}

bool ParseIndexes(const std::vector<std::u16string>& args, size_t first, std::vector<uint32_t>* indexes) {
  for (size_t i = first; i < args.size(); ++i) {
    uint32_t index = 0;
    if (!ParseIndex(args[i], &index)) return false;
    indexes->push_back(index);
  }
  return true;
}
