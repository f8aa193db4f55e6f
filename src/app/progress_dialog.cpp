#include "app/progress_dialog.h"

#include <commctrl.h>

#include <cstring>
#include <cwchar>

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/member_list.h"
#include "app/resource_ids.h"
#include "app/win32_host.h"
#include "jobs/format_duration.h"
#include "jobs/format_template.h"
#include "jobs/format_units.h"
#include "jobs/jobs.h"

namespace {
constexpr const wchar_t* kTitles[kJobKindCount] = {
    L"Opening Archive", L"Adding",          L"Scanning Folder", L"Extracting",
    L"Testing",         L"Prepending Prefix", L"Trimming Prefix", L"Changing Mode",
};
constexpr const wchar_t* kOutcomeTexts[] = {
    L"", L"Insertion failed.", L"Extraction failed.", L"Test completed. There are no errors.", L"Test failed.",
};
constexpr wchar_t kPause[] = L"&Pause";
constexpr wchar_t kContinue[] = L"&Continue";
constexpr wchar_t kClose[] = L"Close";
constexpr wchar_t kTwoBlanks[] = L"  ";
constexpr uint32_t kFieldChars = 2 * kFormatBufferChars + 8;

std::atomic<uint32_t>& JobState() { return App()->Archive.jobState; }

void RequestClose(HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }

void SetStatus(HWND dialog, const wchar_t* text) { SetDlgItemTextW(dialog, IDC_STATUS, text); }

void Pause(HWND dialog) {
  SetDlgItemTextW(dialog, IDOK, kContinue);
  SetStatus(dialog, L"Paused");
  JobState().store(kJobPaused);
}

void Continue(HWND dialog) {
  SetDlgItemTextW(dialog, IDOK, kPause);
  SetStatus(dialog, L"Continuing...");
  JobState().store(kJobRunning);
}

void OnPauseButton(HWND dialog) {
  switch (JobState().load()) {
    case kJobIdle: RequestClose(dialog); break;
    case kJobRunning: Pause(dialog); break;
    case kJobPaused: Continue(dialog); break;
    default: break;
  }
}

// The question and, on Yes, the cancel; the caller decides about continuing.
void ConfirmCancel(HWND dialog) {
  if (App()->PromptDialog != 0) return;
  if (AskCancelConfirm(dialog) != kDialogYes) return;
  uint32_t state = JobState().load();
  if (state == kJobIdle) {
    RequestClose(dialog);
    return;
  }
  if (state == kJobCancelling) return;
  ShowWindow(GetDlgItem(dialog, IDOK), SW_HIDE);
  EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
  EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
  SetStatus(dialog, L"Cancelling...");
  JobState().store(kJobCancelling);
}

void OnCloseRequest(HWND dialog) {
  MainState* s = App();
  switch (JobState().load()) {
    case kJobIdle:
      if (s->CancelDialog != 0) PostMessageW(Hwnd(s->CancelDialog), WM_CLOSE, 0, 0);
      EndDialog(dialog, 0);
      std::memset(s->Password, 0, sizeof s->Password);
      break;
    case kJobRunning:
      Pause(dialog);
      ConfirmCancel(dialog);
      if (JobState().load() == kJobPaused) Continue(dialog);
      break;
    case kJobPaused:
      ConfirmCancel(dialog);
      break;
    default:
      break;
  }
}

void SetField(HWND dialog, int id, const char16_t* text) {
  wchar_t field[kFieldChars];
  lstrcpynW(field, Wide(text), kFieldChars - 2);
  lstrcatW(field, kTwoBlanks);
  SetDlgItemTextW(dialog, id, field);
}

void SetBar(HWND dialog, uint32_t position) { SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_SETPOS, position, 0); }

void ShowBar(HWND dialog, const ProgressBlock* b) { SetBar(dialog, static_cast<uint32_t>(b->fraction * 100 + 0.1)); }

void ShowFullProgress(HWND dialog, const ProgressBlock* b) {
  char16_t text[kFormatBufferChars];
  FormatDuration(text, b->elapsedSec);
  SetField(dialog, IDC_ELAPSED, text);
  FormatDuration(text, b->remainingSec);
  SetField(dialog, IDC_REMAINING, text);
  FormatSize(text, static_cast<uint64_t>(b->totalBytes));
  SetField(dialog, IDC_SIZE_VALUE, text);
  wchar_t speed[kFieldChars];
  FormatSpeed(text, b->inRate);
  lstrcpyW(speed, Wide(text));
  if (b->outRate != b->inRate) {
    FormatSpeed(text, b->outRate);
    lstrcatW(speed, L"  (");
    lstrcatW(speed, Wide(text));
    lstrcatW(speed, L")");
  }
  lstrcatW(speed, kTwoBlanks);
  SetDlgItemTextW(dialog, IDC_SPEED, speed);
  ShowBar(dialog, b);
}

// Prompts are owned by the cancel question when it is up, so they stay on top of it.
HWND PromptOwner(HWND dialog) {
  WindowHandle cancel = App()->CancelDialog;
  return cancel != 0 ? Hwnd(cancel) : dialog;
}

INT_PTR Answer(HWND dialog, INT_PTR answer) {
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, answer);
  return TRUE;
}

INT_PTR OnUpdate(HWND dialog, WPARAM code, LPARAM argument) {
  MainState* s = App();
  switch (code) {
    case kUpdateOpenStart:
      SetWindowTextW(Hwnd(s->MainWindow), Wide(s->ProductName));
      SetWindowTextW(dialog, kTitles[0]);
      break;
    case 1: case 2: case 3: case 4: case 5: case 6: case 7:
      SetWindowTextW(dialog, kTitles[code]);
      break;
    case kUpdateOpened: RefreshArchiveView(); break;
    case kUpdateStatusBar: RefreshStatus(static_cast<uint32_t>(argument)); break;
    case kUpdateFullProgress: ShowFullProgress(dialog, reinterpret_cast<const ProgressBlock*>(argument)); break;
    case kUpdateBarProgress: ShowBar(dialog, reinterpret_cast<const ProgressBlock*>(argument)); break;
    case kUpdateOverwritePrompt:
      return Answer(dialog, AskOverwrite(PromptOwner(dialog), reinterpret_cast<const wchar_t*>(argument)));
    case kUpdatePasswordPrompt:
      return Answer(dialog, AskPassword(PromptOwner(dialog), reinterpret_cast<const wchar_t*>(argument)));
    case kUpdatePercent: SetBar(dialog, static_cast<uint32_t>(argument)); break;
    default: break;
  }
  return Answer(dialog, 0);
}

// The dialog stays open with the count of what the job left out.
void ShowLeftOut(HWND dialog, LPARAM outcome, uint32_t count) {
  wchar_t text[96];
  bool one = count == 1;
  if (outcome == kOutcomeItemsSkipped)
    swprintf(text, sizeof text / sizeof text[0], L"%u %ls skipped: links, devices and pipes are not added.", count,
             one ? L"item" : L"items");
  else
    swprintf(text, sizeof text / sizeof text[0], L"Extraction failed. %u %ls not extracted.", count,
             one ? L"member was" : L"members were");
  SetStatus(dialog, text);
}

void OnDone(HWND dialog, WPARAM token, LPARAM outcome) {
  MainState* s = App();
  if (static_cast<uint32_t>(token) != s->DialogToken) return;
  uint32_t state = JobState().load();
  if (state == kJobCancelling) {
    JobState().store(kJobIdle);
    RequestClose(dialog);
    return;
  }
  if (state != kJobRunning && state != kJobPaused) return;
  JobState().store(kJobIdle);
  ShowWindow(GetDlgItem(dialog, IDOK), SW_HIDE);
  SetDlgItemTextW(dialog, IDOK, kClose);
  SetDlgItemTextW(dialog, IDCANCEL, kClose);
  ResultCode code = s->Archive.result;
  if (code != kResultOk && code != kResultCancelled) ShowResultDialog(PromptOwner(dialog), code);
  if (outcome == kOutcomeItemsSkipped || code == kResultLinkInPath) {
    ShowLeftOut(dialog, outcome, s->LeftOutCount);
  } else if (outcome == kOutcomeCloseDialog || outcome > kOutcomeTestFailed) {
    RequestClose(dialog);
  } else {
    SetStatus(dialog, kOutcomeTexts[outcome]);
  }
}

void OnInit(HWND dialog, uint32_t kind) {
  MainState* s = App();
  HWND status = GetDlgItem(dialog, IDC_STATUS);
  s->StatusText = HandleOf(status);
  s->ProgressDialog = HandleOf(dialog);
  SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_SETRANGE32, 0, 100);
  PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
  if (!StartJob(s, kind)) {
    ShowResultDialog(GetParent(dialog), kResultThread);
    EndDialog(dialog, 0);
    return;
  }
  ShowWindow(dialog, SW_SHOW);
  CenterOverParent(dialog, GetParent(dialog));
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInit(dialog, static_cast<uint32_t>(lParam)); return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) OnPauseButton(dialog);
      if (LOWORD(wParam) == IDCANCEL) RequestClose(dialog);
      return TRUE;
    case WM_CLOSE: OnCloseRequest(dialog); return TRUE;
    case kJobUpdateMessage: return OnUpdate(dialog, wParam, lParam);
    case kJobDoneMessage: OnDone(dialog, wParam, lParam); return TRUE;
    case WM_DESTROY:
      App()->ProgressDialog = 0;
      App()->StatusText = 0;
      return FALSE;
    default: return FALSE;
  }
}
}  // namespace

void RunJobDialog(HWND owner, uint32_t kind) {
  bool compact = kind == kJobOpenAndList || kind >= kJobPrependPrefix;
  DialogBoxParamW(AppInstance(), MAKEINTRESOURCEW(compact ? IDD_PROGRESS_COMPACT : IDD_PROGRESS_FULL), owner,
                  ProgressProc, kind);
}
