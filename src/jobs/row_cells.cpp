#include "jobs/row_cells.h"

#include <cstring>

namespace {
constexpr uint32_t kMaxExtensionChars = 24;

struct MethodName {
  uint16_t method;
  const char16_t* plain;
  const char16_t* encrypted;
};
constexpr MethodName kMethods[] = {
    {0, u"Store", u"ZipCrypto Store"},       {8, u"Deflate", u"ZipCrypto Deflate"},
    {9, u"Deflate64", u"ZipCrypto Deflate64"}, {12, u"BZIP2", u"ZipCrypto BZIP2"},
    {14, u"LZMA", u"ZipCrypto LZMA"},        {98, u"PPMd", u"ZipCrypto PPMd"},
    {99, u"AES", u"AES"},
};

struct AttributeLetter {
  uint32_t bit;
  char16_t letter;
};
constexpr AttributeLetter kAttributeLetters[] = {
    {kAttrReadOnly, u'R'}, {kAttrHidden, u'H'}, {kAttrSystem, u'S'},
    {kAttrDirectory, u'D'}, {kAttrArchive, u'A'}, {kAttrNotContentIndexed, u'I'},
};

void Copy(const char16_t* from, char16_t* to) {
  while ((*to++ = *from++) != 0) {
  }
}

char16_t* PutNumber(char16_t* out, uint32_t value, uint32_t digits) {
  for (uint32_t i = digits; i > 0; --i) {
    out[i - 1] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  }
  return out + digits;
}

void TarModeText(const ArchiveContext* context, char16_t* out) {
  static constexpr char16_t kLetters[] = u"rwxrwxrwx";
  // As GNU tar lists them: d a folder, l a symbolic link, h a hard link.
  uint32_t a = context->entry.attributes;
  out[0] = (a & kAttrDirectory) ? u'd' : (a & kAttrLink) ? u'l' : (a & kAttrHardLink) ? u'h' : u'-';
  for (uint32_t i = 0; i < 9; ++i) out[1 + i] = (context->entry.mode & (0x100u >> i)) ? kLetters[i] : u'-';
  out[10] = 0;
}

void QbxAttributeText(const ArchiveContext* context, char16_t* out) {
  uint32_t n = 0;
  for (const AttributeLetter& a : kAttributeLetters)
    if (context->entry.attributes & a.bit) out[n++] = a.letter;
  if (n == 0) out[n++] = u'N';
  out[n] = 0;
}

void MethodText(const ArchiveContext* context, char16_t* out) {
  bool encrypted = (context->entry.attributes & kAttrZipEncrypted) != 0;
  for (const MethodName& m : kMethods) {
    if (m.method == context->entry.method) {
      Copy(encrypted ? m.encrypted : m.plain, out);
      return;
    }
  }
  Copy(u"Unknown", out);
}

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

uint32_t ExtensionHash(const char16_t* extension) {
  uint32_t h = 0;
  for (const char16_t* p = extension; *p != 0; ++p) {
    for (uint32_t b : {static_cast<uint32_t>(*p & 0xFF), static_cast<uint32_t>(*p >> 8)}) {
      h += b;
      h = (h << 5) | (h >> 27);
    }
  }
  return h;
}

// "XYZ File" from ".xyz": at most 24 characters of the extension, upper-cased.
void FallbackTypeName(const char16_t* dot, char16_t* out) {
  uint32_t n = 0;
  for (const char16_t* p = dot + 1; *p != 0 && n < kMaxExtensionChars; ++p) out[n++] = *p;
  UpperCaseText(out, n);
  Copy(u" File", out + n);
}
}  // namespace

void GroupedDecimal(uint64_t value, char16_t* out) {
  char16_t digits[32];
  uint32_t n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  uint32_t k = 0;
  for (uint32_t i = n; i > 0; --i) {
    out[k++] = digits[i - 1];
    if (i > 1 && (i - 1) % 3 == 0) out[k++] = u' ';
  }
  out[k] = 0;
}

void DateCell(uint64_t fileTime, char16_t* out) {
  LocalTime t;
  if (!FileTimeToLocal(fileTime, &t)) {
    out[0] = 0;
    return;
  }
  char16_t* p = PutNumber(out, t.year, 4);
  *p++ = u'-';
  p = PutNumber(p, t.month, 2);
  *p++ = u'-';
  p = PutNumber(p, t.day, 2);
  *p++ = u' ';
  p = PutNumber(p, t.hour, 2);
  *p++ = u':';
  p = PutNumber(p, t.minute, 2);
  *p = 0;
}

void DetailsText(const ArchiveContext* context, char16_t* out) {
  switch (context->format) {
    case kFormatTar:
    case kFormatTarGz: TarModeText(context, out); break;
    case kFormatQbx: QbxAttributeText(context, out); break;
    case kFormatZip:
    case kFormatGz: MethodText(context, out); break;
    default: out[0] = 0; break;
  }
}

void TypeName(const char16_t* name, TypeCache* cache, char16_t* out) {
  uint32_t length = 0;
  while (name[length] != 0) ++length;
  if (length == 0) return Copy(u"Unknown", out);
  if (IsSeparator(name[length - 1])) return Copy(u"Directory", out);
  uint32_t at = length - 1;
  while (at > 0 && name[at] != u'.' && !IsSeparator(name[at])) --at;
  if (name[at] != u'.' || at + 1 == length) return Copy(u"File", out);
  const char16_t* dot = name + at;
  uint32_t hash = ExtensionHash(dot + 1);
  if (cache != nullptr) {
    for (const TypeCacheEntry& e : cache->entries) {
      if (e.hash == hash && e.firstCharacter == dot[1] && e.text[0] != 0) return Copy(e.text, out);
    }
  }
  if (!FileTypeName(dot, out, kTypeTextChars)) FallbackTypeName(dot, out);
  if (cache != nullptr) {
    TypeCacheEntry& slot = cache->entries[cache->nextSlot];
    slot.hash = hash;
    slot.firstCharacter = dot[1];
    uint32_t n = 0;
    for (; out[n] != 0 && n + 1 < kTypeTextChars; ++n) slot.text[n] = out[n];
    slot.text[n] = 0;
    cache->nextSlot = (cache->nextSlot + 1) % kTypeCacheSize;
  }
}
