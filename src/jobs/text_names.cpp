#include "jobs/text_names.h"

#include <cstdint>

namespace {
constexpr const char* kTextExtensions[] = {
    "txt", "md", "rst", "log", "csv", "tsv", "json", "xml", "html", "htm", "css", "js", "ts",
    "c", "h", "cc", "cpp", "hpp", "cs", "java", "kt", "go", "rs", "py", "rb", "pl", "php",
    "sh", "bat", "cmd", "ps1", "ini", "cfg", "conf", "toml", "yaml", "yml", "sql", "tex", "srt",
    "diff", "patch", "svg", "properties", "gradle", "cmake", "mk", "in", "am", "nfo",
};

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

bool SameExtension(const char16_t* extension, const char* known) {
  uint32_t i = 0;
  for (; extension[i] != 0 && known[i] != 0; ++i)
    if (Lower(extension[i]) != static_cast<char16_t>(known[i])) return false;
  return extension[i] == 0 && known[i] == 0;
}
}  // namespace

bool IsTextName(const char16_t* name) {
  const char16_t* extension = nullptr;
  for (const char16_t* p = name; *p != 0; ++p) {
    if (*p == u'/' || *p == u'\\') extension = nullptr;
    else if (*p == u'.') extension = p + 1;
  }
  if (extension == nullptr) return false;
  for (const char* known : kTextExtensions)
    if (SameExtension(extension, known)) return true;
  return false;
}
