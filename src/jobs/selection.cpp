#include <cstring>
#include <new>

#include "jobs/job_host.h"
#include "jobs/jobs.h"

namespace {
constexpr uint32_t kBitsPerWord = 64;

bool SizeSelection(MainState* state, uint32_t words) {
  if (words > state->SelectedMemberWords) {
    auto* bits = new (std::nothrow) uint64_t[words];
    if (bits == nullptr) return false;
    delete[] state->SelectedMembers;
    state->SelectedMembers = bits;
    state->SelectedMemberWords = words;
  }
  std::memset(state->SelectedMembers, 0, sizeof(uint64_t) * state->SelectedMemberWords);
  return true;
}
}  // namespace

bool TakeSelection(MainState* state) {
  const ListTotals& t = state->Totals;
  // Every row selected, with a row for every member listed, is every member.
  state->AllMembers = t.SelectedCount == 0 || (t.SelectedCount == t.RowCount && t.RowCount == t.ListedCount);
  if (state->AllMembers) return true;
  const uint32_t guess = state->Archive.memberCount / kBitsPerWord + 1;
  if (!SizeSelection(state, guess)) return false;
  const uint32_t need = state->Host->readSelection(state, state->SelectedMembers, state->SelectedMemberWords);
  if (need <= state->SelectedMemberWords) return true;
  return SizeSelection(state, need) &&
         state->Host->readSelection(state, state->SelectedMembers, state->SelectedMemberWords) <= need;
}

bool IsSelectedMember(const MainState* state, uint32_t memberIndex) {
  if (state->AllMembers) return true;
  const uint32_t word = memberIndex / kBitsPerWord;
  return word < state->SelectedMemberWords &&
         (state->SelectedMembers[word] >> (memberIndex % kBitsPerWord) & 1) != 0;
}

uint32_t NextSelectedMember(ArchiveContext* context, uint32_t index) {
  const MainState* state = StateOf(context);
  if (state->AllMembers) return index;
  for (uint32_t word = index / kBitsPerWord; word < state->SelectedMemberWords; ++word) {
    uint64_t bits = state->SelectedMembers[word];
    if (word == index / kBitsPerWord) bits &= ~uint64_t{0} << (index % kBitsPerWord);
    if (bits != 0) return word * kBitsPerWord + static_cast<uint32_t>(__builtin_ctzll(bits));
  }
  return context->memberCount;
}

uint32_t MarkSelectedMember(uint64_t* bits, uint32_t words, uint32_t memberIndex) {
  const uint32_t word = memberIndex / kBitsPerWord;
  if (word < words) bits[word] |= uint64_t{1} << (memberIndex % kBitsPerWord);
  return word + 1;
}
