// Header and data fetches of the formats the core implements: QBX and TAR.
#include <cstring>

#include "core/edit.h"
#include "core/tar.h"
#include "viewer/fetch_formats.h"

namespace {
ResultCode QbxHeader(ArchiveContext* context, PageBuffer* page) {
  ResetPage(page, kEntryRecordSize, kHeaderTerminators);
  if (ReadExactly(context, page->bytes.data(), kEntryRecordSize, kResultRead) != kResultOk)
    ResetPage(page, 0, kHeaderTerminators);
  return context->result;
}

ResultCode QbxDataStart(ArchiveContext* context) {
  if (ReadExactly(context, reinterpret_cast<uint8_t*>(&context->entry), kEntryRecordSize,
                  kResultRead) != kResultOk)
    return context->result;
  context->remaining = context->entry.packedSize > 0 ? context->entry.packedSize : 0;
  return context->result;
}

// Zero blocks and the end of the archive take indexes too; there is no member there.
ResultCode ReadTarMaterial(ArchiveContext* context, TarHeaderState* state) {
  ResultCode r = ReadTarHeader(context, state);
  if (r == kResultEndOfMembers || r == kResultEmptyBlock) return Fail(context, kResultNotFound);
  if (r != kResultOk) return Fail(context, r);
  return context->result;
}

// Everything the header reader read: extended header and its data, the header, sparse
// extension blocks, in file order.
ResultCode TarHeader(ArchiveContext* context, PageBuffer* page) {
  TarHeaderState state;
  if (ReadTarMaterial(context, &state) != kResultOk) return context->result;
  ResetPage(page, state.consumed, kHeaderTerminators);
  std::memcpy(page->bytes.data(), context->ioBuffer, state.consumed);
  return context->result;
}

ResultCode TarDataStart(ArchiveContext* context) {
  TarHeaderState state;
  if (ReadTarMaterial(context, &state) != kResultOk) return context->result;
  context->remaining = static_cast<int64_t>(context->entry.size);
  return context->result;
}
}  // namespace

const FetchOps kQbxFetch = {FindMember, QbxHeader, QbxDataStart};
const FetchOps kTarFetch = {FindMember, TarHeader, TarDataStart};
