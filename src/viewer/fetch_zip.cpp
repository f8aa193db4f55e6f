// Header and data fetches of the read-only formats: ZIP and GZ.
#include <algorithm>

#include "viewer/fetch_formats.h"

namespace {
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kLocalFixedBytes = 30;
constexpr uint32_t kNameLengthOffset = 26;
constexpr uint32_t kExtraLengthOffset = 28;
constexpr uint32_t kMarkerBytes = 4;

uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// The fixed part of a local header at the file position; 9 when there is none.
ResultCode ReadLocalFixed(ArchiveContext* context, uint8_t* fixed) {
  if (!FileRead(context->archiveFile, fixed, kLocalFixedBytes, &context->bytesRead))
    return Fail(context, kResultRead);
  if (context->bytesRead < kLocalFixedBytes || Le32(fixed) != kLocalSignature)
    return Fail(context, kResultNotFound);
  return kResultOk;
}

// The local header, its name and its extra field. The listing steps over a marker in
// front of the first header (split archives begin with one), so the view does too.
ResultCode ZipHeader(ArchiveContext* context, PageBuffer* page) {
  uint8_t fixed[kLocalFixedBytes + kMarkerBytes];
  if (ReadLocalFixed(context, fixed) != kResultOk) {
    if (context->result != kResultNotFound || context->memberIndex != 0 ||
        context->bytesRead < kLocalFixedBytes)
      return context->result;
    context->result = kResultOk;
    std::copy(fixed + kMarkerBytes, fixed + kLocalFixedBytes, fixed);
    if (ReadExactly(context, fixed + kLocalFixedBytes - kMarkerBytes, kMarkerBytes,
                    kResultNotFound) != kResultOk ||
        Le32(fixed) != kLocalSignature)
      return Fail(context, kResultNotFound);
  }
  uint32_t variable = Le16(fixed + kNameLengthOffset) + Le16(fixed + kExtraLengthOffset);
  ResetPage(page, kLocalFixedBytes + variable, kHeaderTerminators);
  std::copy(fixed, fixed + kLocalFixedBytes, page->bytes.begin());
  if (ReadExactly(context, page->bytes.data() + kLocalFixedBytes, variable,
                  kResultUnexpectedEnd) != kResultOk)
    ResetPage(page, 0, kHeaderTerminators);
  return context->result;
}

// Until the ZIP and GZ header readers are in, these members are not found.
ResultCode GzHeaderPending(ArchiveContext* context, PageBuffer*) { return Fail(context, kResultNotFound); }
ResultCode DataPending(ArchiveContext* context) { return Fail(context, kResultNotFound); }
}  // namespace

const FetchOps kZipFetch = {ZipHeader, DataPending};
const FetchOps kGzFetch = {GzHeaderPending, DataPending};
