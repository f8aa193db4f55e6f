#include "core/progress.h"
#include "deflate/member_decode.h"
#include "zip/zip.h"
#include "zip/zip_crypto.h"
#include "zip/zip_header.h"

namespace {
// Reads the 12-byte encryption header in front of the data and starts the keys with it.
ResultCode StartDecryption(ArchiveContext* context) {
  if (context->remaining < kZipCryptoHeaderSize) return Fail(context, kResultFormat);
  uint32_t got = 0;
  if (!FileRead(context->archiveFile, context->ioBuffer, kZipCryptoHeaderSize, &got))
    return Fail(context, kResultRead);
  if (got < kZipCryptoHeaderSize) return Fail(context, kResultUnexpectedEnd);
  context->remaining -= kZipCryptoHeaderSize;
  ProgressAdvanceInOut(context, kZipCryptoHeaderSize, 0);
  // The header's check byte is not looked at: a wrong password shows in the data.
  ZipCryptoInit(context->zipKeys, context->password, context->ioBuffer);
  return kResultOk;
}

InflateFunction DecoderOf(const EntryRecord& e) {
  if (!(e.attributes & kAttrZipCompressed)) return nullptr;
  return e.method == kZipMethodDeflate ? Inflate : Inflate64;
}
void DecryptChunk(ArchiveContext* context, uint8_t* bytes, uint32_t count) {
  ZipCryptoDecrypt(context->zipKeys, bytes, count);
}
}  // namespace

ResultCode DecodeZipMember(ArchiveContext* context) {
  const EntryRecord& e = context->entry;
  const bool encrypted = (e.attributes & kAttrZipEncrypted) != 0;
  context->dataChecksum = 0;
  if (encrypted && StartDecryption(context) != kResultOk) return context->result;
  uint64_t total = 0;
  // A member whose size is known is never written past it (a Deflate bomb that declares 100
  // bytes and inflates to gigabytes stops at the 101st).
  const uint64_t limit = (e.attributes & kAttrZipSizesNotFound) ? kNoOutputLimit : e.size;
  if (ResultCode r = DecodeMemberData(context, DecoderOf(e), encrypted ? DecryptChunk : nullptr, limit, &total)) return r;
  if (e.checksum == context->dataChecksum && e.size == total) return kResultOk;
  if (encrypted) return Fail(context, kResultPassword);
  // Sizes found by searching may belong to a descriptor that only looked right.
  if (e.attributes & (kAttrZipDescriptor | kAttrZipSizesNotFound)) return Fail(context, kResultFormat);
  return Fail(context, kResultChecksum);
}
