// Per-member decisions of extraction and test: selection, names, existing files, passwords.
#include <cstring>

#include "core/extract.h"
#include "core/folders.h"
#include "core/names.h"
#include "core/output_name.h"
#include "core/progress.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"

namespace {
constexpr uint32_t kNameIntervalMs = 250;

bool EndsInSeparator(const char16_t* name) {
  uint32_t n = 0;
  while (n < kMemberNameChars && name[n] != 0) ++n;
  return n > 0 && (name[n - 1] == u'/' || name[n - 1] == u'\\');
}

// A directory member makes its folder, also when its name lacks the final separator
// (a file of that name would block every member below it).
bool IsDirectoryMember(ArchiveContext* context) {
  char16_t* name = context->memberName;
  if (EndsInSeparator(name)) return true;
  if ((context->entry.attributes & kAttrDirectory) == 0) return false;
  uint32_t n = WideLength(name);
  if (n + 1 >= kMemberNameChars) return false;
  name[n] = u'/';
  name[n + 1] = 0;
  return true;
}

void ShowNameThrottled(MainState* state, ArchiveContext* context) {
  uint32_t tick = context->progress.lastTick;
  if (tick - state->LastNameTick > kNameIntervalMs) {
    state->Host->sendStatusText(state, context->memberName);
    state->LastNameTick = tick;
  }
}

void KeepWorkMemberName(MainState* state, const char16_t* name) {
  uint32_t n = 0;
  for (; name[n] != 0 && n + 1 < kMemberNameChars; ++n) state->WorkMemberName[n] = name[n];
  state->WorkMemberName[n] = 0;
}

// Asks with a prompt; the time spent waiting for the user is not working time.
uint32_t Ask(MainState* state, ArchiveContext* context, uint32_t code, uint32_t* remembered) {
  state->Host->sendStatusText(state, context->memberName);
  uint32_t before = TickCount();
  uint32_t answer = state->Host->askPrompt(state, code, context->memberName);
  context->progress.pausedMs += TickCount() - before;
  *remembered = answer;
  return answer;
}

uint32_t Skip(ArchiveContext* context) {
  ProgressSkip(context, context->entry.packedSize);
  return 0;
}

// Encrypted members we can decrypt ask for the password once, or every time.
uint32_t CheckPassword(MainState* state, ArchiveContext* context) {
  uint32_t wanted = kAttrZipEncrypted | kAttrZipMethodKnown;
  if ((context->entry.attributes & wanted) != wanted) return 1;
  if (state->PasswordAnswer == kAnswerDoAll) return 1;
  if (state->PasswordAnswer == kAnswerSkipAll) return Skip(context);
  return Ask(state, context, kUpdatePasswordPrompt, &state->PasswordAnswer) >= kAnswerDo ? 1 : Skip(context);
}

// A link on the disk in the member's path would take the write somewhere else.
uint32_t RefuseThroughLink(MainState* state, ArchiveContext* context) {
  LeaveOut(state, context->memberName, kLeftThroughLink);
  return Skip(context);
}

bool ExistsAsFile(const char16_t* name) {
  uint32_t attributes = 0;
  return GetPathAttributes(name, &attributes) && (attributes & kAttrDirectory) == 0;
}
}  // namespace

uint32_t ExtractMemberCallback(ArchiveContext* context) {
  MainState* state = StateOf(context);
  if (!IsSelectedMember(state, context->memberIndex)) return 0;
  if (state->Options.AnyPath == 0) CleanOutputName(context->memberName, kMemberNameChars);
  // An empty name is the destination itself.
  if (context->memberName[0] == 0) return 0;
  // A link member replaces a link standing at its name; nothing is written through it.
  const uint32_t checked = CheckedLength(context->checkedFolder, context->memberName);
  if (PathCrossesLink(context->memberName, !IsLinkMember(context), checked)) return RefuseThroughLink(state, context);
  if (IsDirectoryMember(context)) {
    MakeMemberFolders(context);
    return 0;
  }
  ShowNameThrottled(state, context);
  KeepWorkMemberName(state, context->memberName);
  if (ExistsAsFile(context->memberName) && state->OverwriteAnswer != kAnswerDoAll) {
    if (state->OverwriteAnswer == kAnswerSkipAll) return Skip(context);
    if (Ask(state, context, kUpdateOverwritePrompt, &state->OverwriteAnswer) < kAnswerDo) return Skip(context);
  }
  if (IsLinkMember(context)) return ExtractLinkMember(state, context);
  return CheckPassword(state, context);
}

uint32_t TestMemberCallback(ArchiveContext* context) {
  MainState* state = StateOf(context);
  if (!IsSelectedMember(state, context->memberIndex)) return 0;
  ShowNameThrottled(state, context);
  KeepWorkMemberName(state, context->memberName);
  return CheckPassword(state, context);
}
