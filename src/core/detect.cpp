#include "core/detect.h"

#include "core/names.h"

namespace {
constexpr uint32_t kSniffSize = 512;
constexpr uint32_t kMinZipSize = 31;
constexpr uint32_t kMinGzSize = 11;

struct ExtensionFormat {
  const char16_t* extension;
  FormatKind format;
};
constexpr ExtensionFormat kExtensions[] = {
    {u".qbx", kFormatQbx}, {u".tar", kFormatTar}, {u".zip", kFormatZip}, {u".gz", kFormatGz}};

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool EqualsIgnoringCase(const char16_t* a, const char16_t* b) {
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (Lower(*a) != Lower(*b)) return false;
  return *a == *b;
}

FormatKind FormatFromContent(const uint8_t* head, uint32_t count) {
  if (count == kSniffSize && head[0] == 'X' && head[1] == 'B' && head[2] == 'Q' && head[3] == 'K')
    return kFormatQbx;
  if (count >= kMinZipSize && head[0] == 0x50 && head[1] == 0x4B) return kFormatZip;
  if (count >= kMinGzSize && head[0] == 0x1F && head[1] == 0x8B) return kFormatGz;
  return kFormatNone;
}

// Last, once no format knew the first bytes: a format that is recognised by the end of the
// file (a ZIP with a program in front of it).
FormatKind FormatFromEnd(const FormatOps* formats, FileHandle file) {
  if (formats == nullptr) return kFormatNone;
  for (FormatKind kind = 0; kind < kFormatKindCount; ++kind) {
    if (formats[kind].recognize != nullptr && formats[kind].recognize(file)) return kind;
  }
  return kFormatNone;
}
}  // namespace

uint32_t ExtensionOf(const char16_t* path) {
  uint32_t length = WideLength(path);
  for (uint32_t i = length; i > 0; --i) {
    char16_t c = path[i - 1];
    if (c == u'.') return i - 1;
    if (c == u'\\' || c == u'/') break;
  }
  return length;
}

ResultCode DetectFormat(ArchiveContext* context) {
  const char16_t* path = context->archivePath;
  const char16_t* extension = path + ExtensionOf(path);
  for (const ExtensionFormat& e : kExtensions) {
    if (EqualsIgnoringCase(extension, e.extension)) {
      context->format = e.format;
      return kResultOk;
    }
  }
  context->format = kFormatNone;
  FileHandle file = FileOpen(path, kAccessRead, kShareRead, kOpenExisting);
  if (file == kInvalidFile) return Fail(context, kResultNotArchive);
  uint8_t head[kSniffSize];
  uint32_t got = 0;
  bool ok = FileRead(file, head, kSniffSize, &got);
  context->format = ok ? FormatFromContent(head, got) : kFormatNone;
  if (ok && context->format == kFormatNone) context->format = FormatFromEnd(context->formats, file);
  FileClose(file);
  return context->format == kFormatNone ? Fail(context, kResultNotArchive) : kResultOk;
}
