#include <cstring>

#include "core/archive.h"
#include "core/edit.h"
#include "core/member_name.h"
#include "core/tar.h"

namespace {
constexpr uint32_t kModeDigitEndDefault = 3;

bool StartsWithPaxHeaderName(const char16_t* name) {
  for (uint32_t i = 0; kPaxHeaderName[i] != 0; ++i)
    if (name[i] != static_cast<char16_t>(kPaxHeaderName[i])) return false;
  return true;
}

// Stores the header's checksum and gives the record its checksum and type.
void SealTarHeader(ArchiveContext* context, uint8_t* header) {
  context->entry.checksum = StoreTarChecksum(header);
  context->entry.attributes = header[kTarTypeflagOffset] == '5' ? kAttrDirectory : kAttrArchive;
}

// A header read for an edit that found no member there is "not found"; damage is its code.
ResultCode EditableTarResult(ArchiveContext* context, ResultCode r) {
  if (r == kResultEndOfMembers || r == kResultEmptyBlock) return Fail(context, kResultNotFound);
  if (r != kResultOk) return Fail(context, r);
  return kResultOk;
}

bool NameFieldHoldsWholeName(const ArchiveContext* context, const TarHeaderState* state) {
  if (state->longName.source != kLongNameNone) return false;
  const StoredName& name = context->storedName;
  return name.length <= kTarNameSize &&
         std::memcmp(name.bytes, state->header, name.length) == 0;
}

// The name's last byte decides the type: a trailing slash makes a directory, losing it a file.
void MatchTypeToName(uint8_t* header) {
  bool slash = NameEndsInSlash(header, kTarNameSize);
  uint8_t& type = header[kTarTypeflagOffset];
  if (type != '5' && slash) type = '5';
  else if (type == '5' && !slash) type = '0';
}

// The last digit's place in the mode field: "0000644\0" and "000644 \0" keep their layout.
uint32_t ModeDigitEnd(const uint8_t* field) {
  for (uint32_t place = 7; place >= 4; --place)
    if (static_cast<int8_t>(field[place]) >= '0') return place;
  return kModeDigitEndDefault;
}
}  // namespace

ResultCode RenameTarMember(ArchiveContext* context, uint32_t memberIndex) {
  if (StartsWithPaxHeaderName(context->memberName)) return context->result;
  if (FindMember(context, memberIndex) != kResultOk) return context->result;
  TarHeaderState state;
  ResultCode r = ReadTarHeader(context, &state);
  if (EditableTarResult(context, r) != kResultOk) return context->result;
  // An edit in place never moves data: a name held outside the name field, or one that
  // would need such a record, cannot change here.
  if (!NameFieldHoldsWholeName(context, &state)) return Fail(context, kResultNameDoesNotFit);
  bool utf8 = WritesAsUtf8(context->memberName, context->storedName.encoding);
  EncodeMemberName(context, utf8);
  if (std::strlen(reinterpret_cast<const char*>(context->ioBuffer)) >= kTarNameSize)
    return Fail(context, kResultNameDoesNotFit);
  std::memcpy(state.header, context->ioBuffer, kTarNameSize);
  SetStoredName(context, state.header, kTarNameSize, utf8 ? kNameUtf8 : kNameLatin1, true);
  MatchTypeToName(state.header);
  SealTarHeader(context, state.header);
  context->entry.mode = static_cast<uint32_t>(ReadOctal(state.header + kTarModeOffset, kTarShortField));
  return WriteMemberHeader(context, context->position + state.headerOffset, state.header);
}

ResultCode SetTarMode(ArchiveContext* context, uint32_t memberIndex, uint32_t mode) {
  context->result = kResultOk;
  if (CheckModeEditable(context) != kResultOk) return context->result;
  if (context->format != kFormatTar) return Fail(context, kResultSave);
  if (FindMember(context, memberIndex) != kResultOk) return context->result;
  TarHeaderState state;
  ResultCode r = ReadTarHeader(context, &state);
  uint8_t* field = state.header + kTarModeOffset;
  uint32_t e = ModeDigitEnd(field);
  field[e - 2] = static_cast<uint8_t>('0' + ((mode >> 6) & 7));
  field[e - 1] = static_cast<uint8_t>('0' + ((mode >> 3) & 7));
  field[e] = static_cast<uint8_t>('0' + (mode & 7));
  SealTarHeader(context, state.header);
  context->entry.mode = mode;
  if (EditableTarResult(context, r) != kResultOk) return context->result;
  return WriteMemberHeader(context, context->position + state.headerOffset, state.header);
}
