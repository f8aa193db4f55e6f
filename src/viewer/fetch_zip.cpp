// Header and data fetches of the read-only formats: ZIP and GZ.
#include <algorithm>

#include "core/edit.h"
#include "viewer/fetch_formats.h"
#include "gz/gz.h"
#include "gz/gz_stream.h"
#include "core/little_endian.h"
#include "zip/zip_crypto.h"
#include "zip/zip_header.h"
#include "zip/zip_member_stream.h"

namespace {
constexpr uint32_t kLocalFixedBytes = 30;
constexpr uint32_t kNameLengthOffset = 26;
constexpr uint32_t kExtraLengthOffset = 28;
constexpr uint32_t kMarkerBytes = 4;

// The fixed part of a local header at the file position; 9 when there is none.
ResultCode ReadLocalFixed(ArchiveContext* context, uint8_t* fixed) {
  if (!FileRead(context->archiveFile, fixed, kLocalFixedBytes, &context->bytesRead))
    return Fail(context, kResultRead);
  if (context->bytesRead < kLocalFixedBytes || Le32(fixed) != kZipLocalSignature)
    return Fail(context, kResultNotFound);
  return kResultOk;
}

// The local header, its name and its extra field. The listing steps over a marker in
// front of the first header (split archives begin with one), so the view does too.
ResultCode ZipHeader(ArchiveContext* context, PageBuffer* page) {
  uint8_t fixed[kLocalFixedBytes];
  if (ReadLocalFixed(context, fixed) != kResultOk) {
    if (context->result != kResultNotFound || context->memberIndex != 0 ||
        context->bytesRead < kLocalFixedBytes)
      return context->result;
    context->result = kResultOk;
    std::copy(fixed + kMarkerBytes, fixed + kLocalFixedBytes, fixed);
    if (ReadExactly(context, fixed + kLocalFixedBytes - kMarkerBytes, kMarkerBytes,
                    kResultNotFound) != kResultOk ||
        Le32(fixed) != kZipLocalSignature)
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

// After the local header: the compressed size it gives, or for a member whose header defers
// its sizes (to a descriptor behind the data, or to a ZIP64 record it lacks) the size the
// listing found, by the descriptor or in the central directory.
ResultCode ZipDataStart(ArchiveContext* context) {
  ZipLocalHeader header{};
  header.memberIndex = context->memberIndex;
  ResultCode r = ReadZipLocalHeader(context, &header);
  if (r == kResultEndOfMembers || r == kResultNotArchive) return Fail(context, kResultNotFound);
  if (r != kResultOk) return Fail(context, r);
  const bool deferred = (header.generalFlags & kZipFlagDescriptor) ||
                        (context->entry.attributes & kAttrZipSizesNotFound);
  context->remaining = deferred ? context->listedStoredSize : static_cast<int64_t>(header.compressedSize);
  return context->result;
}

// The keys behind the encryption header at the file's position, checked by the header's last
// byte: the CRC's high byte, or the time's for a member whose CRC follows its data (tools
// differ there, so either passes). No password yet (none, or an empty one) is asked for
// first: tried, it would pass that one-byte check for about one member in a hundred and show
// the member's bytes decrypted with the wrong keys.
ResultCode StartKeys(ArchiveContext* context, const ZipLocalHeader& header, uint32_t keys[3]) {
  if (context->password == nullptr || context->password[0] == 0) return Fail(context, kResultPassword);
  uint8_t head[kZipCryptoHeaderSize];
  if (ReadExactly(context, head, kZipCryptoHeaderSize, kResultUnexpectedEnd) != kResultOk) return context->result;
  ZipCryptoInit(keys, context->password, head);
  const uint8_t check = head[kZipCryptoHeaderSize - 1];
  if (check != static_cast<uint8_t>(header.crc32 >> 24) && check != static_cast<uint8_t>(header.modTime >> 8))
    return Fail(context, kResultPassword);
  return kResultOk;
}

// The member's data as they extract, from its local header read again.
ResultCode ZipOpenExtracted(ArchiveContext* context, ByteSource* source) {
  uint64_t length = context->remaining > 0 ? static_cast<uint64_t>(context->remaining) : 0;
  ZipLocalHeader header{};
  header.memberIndex = context->memberIndex;
  if (FindMember(context, context->memberIndex) != kResultOk) return context->result;
  if (ResultCode r = ReadZipLocalHeader(context, &header)) return Fail(context, r == kResultRead ? r : kResultNotFound);
  if (header.method != kZipMethodStore && header.method != kZipMethodDeflate && header.method != kZipMethodDeflate64)
    return Fail(context, kResultUnsupportedMethod);
  uint32_t keys[3];
  const bool encrypted = (header.generalFlags & kZipFlagEncrypted) != 0;
  if (encrypted) {
    if (length < kZipCryptoHeaderSize) return Fail(context, kResultFormat);
    if (StartKeys(context, header, keys) != kResultOk) return context->result;
    length -= kZipCryptoHeaderSize;
  }
  uint64_t dataOffset = 0;
  if (!FileSeek(context->archiveFile, 0, kSeekCurrent, &dataOffset)) return Fail(context, kResultRead);
  void* stream = NewZipMemberStream(context->archiveFile, dataOffset, length, header.method, encrypted ? keys : nullptr);
  if (stream == nullptr) return Fail(context, kResultNoMemory);
  *source = {&kZipMemberStreamOps, stream};
  return kResultOk;
}

// A gzip file's one member starts the file, whatever the offset table holds.
ResultCode LocateGzMember(ArchiveContext* context, uint32_t memberIndex) {
  if (memberIndex >= context->memberCount) return Fail(context, kResultNotFound);
  context->memberIndex = memberIndex;
  context->position = 0;
  if (!FileSeek(context->archiveFile, 0, kSeekBegin, nullptr)) return Fail(context, kResultNotFound);
  return context->result;
}

ResultCode ReadGzMaterial(ArchiveContext* context, GzHeader* header) {
  ResultCode r = ReadGzHeader(context->archiveFile, header, &context->entry, context->ioBuffer,
                              context->fileSize);
  if (r != kResultOk) return Fail(context, r);
  return context->result;
}

// The gzip header from the file's start, read again once the header reader has measured it.
ResultCode GzHeaderBytes(ArchiveContext* context, PageBuffer* page) {
  GzHeader header;
  if (ReadGzMaterial(context, &header) != kResultOk) return context->result;
  uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(header.dataOffset, kViewPageBytes));
  ResetPage(page, n, kHeaderTerminators);
  if (!FileSeek(context->archiveFile, 0, kSeekBegin, nullptr)) return Fail(context, kResultRead);
  if (ReadExactly(context, page->bytes.data(), n, kResultUnexpectedEnd) != kResultOk)
    ResetPage(page, 0, kHeaderTerminators);
  return context->result;
}

ResultCode GzDataStart(ArchiveContext* context) {
  GzHeader header;
  if (ReadGzMaterial(context, &header) != kResultOk) return context->result;
  context->remaining = static_cast<int64_t>(header.compressedSize);
  return context->result;
}

// Every member of a concatenated file: their data are one output, as extraction writes it.
ResultCode GzOpenExtracted(ArchiveContext* context, ByteSource* source) {
  void* stream = NewGzStream(context->archiveFile, context->fileSize);
  if (stream == nullptr) return Fail(context, kResultNoMemory);
  *source = {&kGzStreamOps, stream};
  return kResultOk;
}
}  // namespace

const FetchOps kZipFetch = {FindMember, ZipHeader, ZipDataStart, ZipOpenExtracted};
const FetchOps kGzFetch = {LocateGzMember, GzHeaderBytes, GzDataStart, GzOpenExtracted};
