// The modal dialogs: messages, confirmations, prompts, prefix, preferences, about.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/repair.h"
#include "core/result.h"

inline constexpr INT_PTR kDialogYes = 6;
inline constexpr INT_PTR kDialogNo = 7;
inline constexpr uint32_t kRevertQuestion = 46;

// Moves the dialog to the middle of parent (or of the work area), then keeps it on screen.
void CenterOverParent(HWND dialog, HWND parent);

// The message for code: its title and text, "Error" for codes without an entry.
void ShowResultDialog(HWND owner, ResultCode code);
// Shows the context's result unless it is 0 or 1.
void ShowResult(HWND owner);
// 6 for Yes, 7 for No.
INT_PTR AskConfirm(HWND owner, uint32_t question);
INT_PTR AskCancelConfirm(HWND owner);
// Names the incomplete last member and its size: 6 cuts it away, 7 (the default) keeps it.
INT_PTR AskCutTornTail(HWND owner, const TornTail& tail);
// Names the member Delete would remove: 6 deletes it, 7 (the default) keeps it.
INT_PTR AskDeleteMember(HWND owner, const char16_t* name);
// Prompt answers: 1 skip, 2 skip all, 3 do, 4 do for all.
INT_PTR AskOverwrite(HWND owner, const wchar_t* path);
INT_PTR AskPassword(HWND owner, const wchar_t* memberName);
// 1 with the prefix in JobPath, else 0.
INT_PTR AskPrefix(HWND owner);
void ShowPreferences(HWND owner);
void ShowAbout(HWND owner);
