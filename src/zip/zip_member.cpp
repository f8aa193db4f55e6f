#include "core/progress.h"
#include "core/read_ahead.h"
#include "deflate/member_decode.h"
#include "zip/zip.h"
#include "zip/zip_crypto.h"
#include "zip/zip_header.h"
#include "zip/zip_walk.h"

namespace {
// Reads the 12-byte encryption header in front of the data and starts the keys with it.
ResultCode StartDecryption(ArchiveContext* context) {
  if (context->remaining < kZipCryptoHeaderSize) return Fail(context, kResultFormat);
  uint32_t got = 0;
  if (!ArchiveRead(context, context->ioBuffer, kZipCryptoHeaderSize, &got)) return Fail(context, kResultRead);
  if (got < kZipCryptoHeaderSize) return Fail(context, kResultUnexpectedEnd);
  context->remaining -= kZipCryptoHeaderSize;
  ProgressAdvanceInOut(context, kZipCryptoHeaderSize, 0);
  // The header's check byte is not looked at: a wrong password shows in the data.
  ZipCryptoInit(context->zipKeys, context->password, context->ioBuffer);
  return kResultOk;
}

void DecryptChunk(ArchiveContext* context, uint8_t* bytes, uint32_t count) {
  ZipCryptoDecrypt(context->zipKeys, bytes, count);
}
}  // namespace

InflateFunction ZipDecoderOf(const EntryRecord& e) {
  if (!(e.attributes & kAttrZipCompressed)) return nullptr;
  return e.method == kZipMethodDeflate ? Inflate : Inflate64;
}

// A Deflate bomb that declares 100 bytes and inflates to gigabytes stops at the 101st.
uint64_t ZipOutputLimit(const EntryRecord& e) {
  return (e.attributes & kAttrZipSizesNotFound) ? kNoOutputLimit : e.size;
}

ResultCode DecodeZipMember(ArchiveContext* context) {
  const EntryRecord& e = context->entry;
  const bool encrypted = (e.attributes & kAttrZipEncrypted) != 0;
  context->dataChecksum = 0;
  uint64_t total = 0;
  if (context->decoded != nullptr) {
    if (ResultCode r = DeliverDecodedData(context, context->decoded, static_cast<uint64_t>(context->remaining), &total))
      return r;
  } else {
    if (encrypted && StartDecryption(context) != kResultOk) return context->result;
    if (ResultCode r = DecodeMemberData(context, ZipDecoderOf(e), encrypted ? DecryptChunk : nullptr, ZipOutputLimit(e), &total))
      return r;
  }
  if (e.checksum == context->dataChecksum && e.size == total) return kResultOk;
  if (encrypted) return Fail(context, kResultPassword);
  // Sizes found by searching may belong to a descriptor that only looked right.
  if (e.attributes & (kAttrZipDescriptor | kAttrZipSizesNotFound)) return Fail(context, kResultFormat);
  return Fail(context, kResultChecksum);
}
