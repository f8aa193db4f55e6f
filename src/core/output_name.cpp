#include "core/output_name.h"

#include <cstdint>

namespace {
bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

char16_t CleanCharacter(char16_t c, char16_t next) {
  if (c < 32 || c == 127 || c == u'"' || c == u'*' || c == u'?' || c == u'|') return u'_';
  if (c == u':') return u'-';
  if (c == u'<') return u'(';
  if (c == u'>') return u')';
  if ((c == u'.' || IsSeparator(c)) && IsSeparator(next)) return u'_';
  return c;
}

// Windows drops trailing dots and spaces, so "..." or ".. " would act as ".." or ".".
void CleanDotComponent(char16_t* begin, char16_t* end) {
  for (char16_t* p = begin; p < end; ++p)
    if (*p != u'.' && *p != u' ') return;
  if (end > begin) end[-1] = u'_';
}

bool MatchesDevice(const char16_t* begin, uint32_t length) {
  static const char16_t* const kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
  for (const char16_t* device : kDevices) {
    uint32_t n = 0;
    while (device[n] != 0 && n < length && Upper(begin[n]) == device[n]) ++n;
    if (device[n] == 0 && n == length) return true;
  }
  // COM1 to COM9 and LPT1 to LPT9 (also with the superscript digits Windows accepts).
  if (length == 4) {
    bool com = Upper(begin[0]) == u'C' && Upper(begin[1]) == u'O' && Upper(begin[2]) == u'M';
    bool lpt = Upper(begin[0]) == u'L' && Upper(begin[1]) == u'P' && Upper(begin[2]) == u'T';
    char16_t d = begin[3];
    bool digit = (d >= u'1' && d <= u'9') || d == u'\u00B9' || d == u'\u00B2' || d == u'\u00B3';
    return (com || lpt) && digit;
  }
  return false;
}

uint32_t Length(const char16_t* text) {
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// "CON", "nul.txt" and "COM1 .log" open devices on Windows whatever the folder: a leading
// "_" makes them plain names (or, with no room for it, the first character becomes "_").
void CleanDeviceComponent(char16_t* name, uint32_t capacity, uint32_t begin, uint32_t end) {
  uint32_t stem = begin;
  while (stem < end && name[stem] != u'.') ++stem;
  while (stem > begin && name[stem - 1] == u' ') --stem;
  if (!MatchesDevice(name + begin, stem - begin)) return;
  uint32_t length = Length(name);
  if (length + 1 < capacity) {
    for (uint32_t i = length + 1; i > begin; --i) name[i] = name[i - 1];
    name[begin] = u'_';
  } else {
    name[begin] = u'_';
  }
}

// "./a", "a/./b" and "a/." lose their "." steps; "." and "./" become empty.
void DropDotComponents(char16_t* name) {
  uint32_t read = 0, write = 0;
  while (name[read] != 0) {
    bool dot = name[read] == u'.' && (name[read + 1] == 0 || IsSeparator(name[read + 1]));
    bool atStart = read == 0 || IsSeparator(name[read - 1]);
    if (dot && atStart) {
      read += name[read + 1] == 0 ? 1 : 2;
      continue;
    }
    name[write++] = name[read++];
  }
  name[write] = 0;
}
}  // namespace

void CleanOutputName(char16_t* name, uint32_t capacity) {
  DropDotComponents(name);
  if (IsSeparator(name[0])) name[0] = u'_';
  for (uint32_t i = 0; name[i] != 0; ++i) name[i] = CleanCharacter(name[i], name[i + 1]);
  uint32_t component = 0;
  for (uint32_t i = 0;; ++i) {
    if (name[i] == 0 || IsSeparator(name[i])) {
      CleanDotComponent(name + component, name + i);
      uint32_t before = Length(name);
      CleanDeviceComponent(name, capacity, component, i);
      i += Length(name) - before;  // a "_" put in front moves the rest along
      if (name[i] == 0) break;
      component = i + 1;
    }
  }
}
