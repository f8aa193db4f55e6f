// How a job reaches the user interface: the three ways of delivering a message (queued in
// sending order, sent with a time-out that may drop it, and sent waiting for the answer)
// and the list operations a worker needs. The Windows program delivers them as window
// messages; qbx handles them in its terminal.
#pragma once

#include <cstdint>

#include "core/context.h"

struct MainState;

// Update codes of the job update message and the outcomes of the done message.
enum : uint32_t {
  kUpdateOpenStart = 0,   // 1 to 7: the job kind's status title
  kUpdateOpened = 8,
  kUpdateStatusBar = 9,
  kUpdateFullProgress = 10,
  kUpdateBarProgress = 11,
  kUpdateOverwritePrompt = 12,
  kUpdatePasswordPrompt = 13,
  kUpdatePercent = 14,
};
enum : uint32_t {
  kOutcomeCloseDialog = 0,
  kOutcomeInsertionFailed = 1,
  kOutcomeExtractionFailed = 2,
  kOutcomeTestPassed = 3,
  kOutcomeTestFailed = 4,
  kOutcomeItemsSkipped = 5,  // a folder add that passed over links, devices or pipes
};
// Why a job left a member or an item out.
enum LeftOutReason : uint32_t {
  kLeftThroughLink = 0,   // a link on the disk stands in the member's path
  kLeftNotAFile = 1,      // a device, pipe or socket in an added folder
  kLeftLinkItem = 2,      // a link in an added folder, never followed
  kLeftLinkOutside = 3,   // a link member pointing outside the destination
  kLeftLinkNotMade = 4,   // the system would not make the link
  kLeftLinkedMissing = 5, // a hard link whose member is not on the disk
  kLeftCopyFailed = 6,    // a hard link whose copy could not be written
};
// Prompt answers.
enum : uint32_t { kAnswerSkip = 1, kAnswerSkipAll = 2, kAnswerDo = 3, kAnswerDoAll = 4 };

// For readSelection: marks one member; returns the words its bit needs.
uint32_t MarkSelectedMember(uint64_t* bits, uint32_t words, uint32_t memberIndex);

struct JobHost {
  // Queued: handled later, in sending order.
  void (*notifyUpdate)(MainState* state, uint32_t code, uint32_t argument);
  void (*notifyDone)(MainState* state, uint32_t token, uint32_t outcome);
  void (*notifyRedraw)(MainState* state, bool on);
  void (*notifySort)(MainState* state);
  // Sent with a time-out: lost when the interface does not take it in time.
  void (*sendProgress)(MainState* state, uint32_t code, const ProgressBlock* block);
  void (*sendStatusText)(MainState* state, const char16_t* text);
  // Sent and waited for.
  uint32_t (*askPrompt)(MainState* state, uint32_t code, const char16_t* text);
  void (*deleteAllRows)(MainState* state);
  void (*clearStatusBar)(MainState* state);
  bool (*isRowSelected)(MainState* state, int32_t row);
  bool (*rowMember)(MainState* state, int32_t row, uint32_t* memberIndex);
  bool (*rowText)(MainState* state, int32_t row, char16_t* text, uint32_t capacity);
  // Sets the bit of every selected row's member in bits (words 64-bit words; members beyond
  // them are not marked) and returns how many words the largest one needs. Called on the
  // thread that owns the list, before the worker starts.
  uint32_t (*readSelection)(MainState* state, uint64_t* bits, uint32_t words);
  void (*insertRow)(MainState* state, int32_t row, const char16_t* text, uint32_t memberIndex);
  void (*setCell)(MainState* state, int32_t row, uint32_t column, const char16_t* text);
  // Direct, optional: a member or item the job left out and why (the window shows only the
  // count, qbx names each one).
  void (*reportLeftOut)(MainState* state, const char16_t* name, LeftOutReason reason);
};
