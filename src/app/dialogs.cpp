#include "app/dialogs.h"

#include <shellapi.h>

#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "jobs/format_template.h"
#include "jobs/format_units.h"

namespace {
constexpr int kPrefixMaxChars = 64;
constexpr int kPasswordWipeMaxChars = 4096;
constexpr wchar_t kPasswordBullet = 0x25CF;
constexpr size_t kShownNameChars = 60;
constexpr wchar_t kMakerDomain[] = L"corvatek.example";
constexpr wchar_t kMakerPage[] = L"https://corvatek.example/quillbox";
constexpr wchar_t kAboutText[] =
    L"Quillbox\r\nArchive Manager\r\nVersion 1.0 (x64)\r\nMade by Corvatek for people who keep archives.";

INT_PTR EndWith(HWND dialog, INT_PTR result) {
  EndDialog(dialog, result);
  return TRUE;
}

// Shown and centred at initialisation, as every dialog here does.
void ShowCentred(HWND dialog) {
  ShowWindow(dialog, SW_SHOW);
  CenterOverParent(dialog, GetParent(dialog));
}

INT_PTR CALLBACK ErrorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto code = static_cast<ResultCode>(lParam);
    const char16_t* title = ResultTitle(code);
    const char16_t* text = ResultText(code);
    SetWindowTextW(dialog, title != nullptr ? Wide(title) : L"Error");
    SetDlgItemTextW(dialog, IDC_MESSAGE, text != nullptr ? Wide(text) : L"Error");
    ShowCentred(dialog);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    WORD id = LOWORD(wParam);
    if (id == IDOK) return EndWith(dialog, 1);
    if (id == IDCANCEL) return EndWith(dialog, 2);
  }
  return FALSE;
}

INT_PTR CALLBACK ConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    if (lParam == kRevertQuestion) {
      SetWindowTextW(dialog, L"Revert");
      SetDlgItemTextW(dialog, IDC_MESSAGE, L"Delete all new additions and reopen archive?");
    }
    ShowCentred(dialog);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    WORD id = LOWORD(wParam);
    if (id == IDOK) return EndWith(dialog, kDialogYes);
    if (id == IDCANCEL) return EndWith(dialog, kDialogNo);
  }
  return FALSE;
}

// The repair question, whose text comes with the dialog; its buttons are Revert's.
INT_PTR Run(int resource, HWND owner, DLGPROC proc, LPARAM start, INT_PTR fallback);

// A question whose default answer keeps everything as it is.
struct Question {
  const wchar_t* title;
  const wchar_t* text;
};

INT_PTR CALLBACK QuestionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INITDIALOG) return message == WM_COMMAND ? ConfirmProc(dialog, message, wParam, lParam) : FALSE;
  const auto* question = reinterpret_cast<const Question*>(lParam);
  SetWindowTextW(dialog, question->title);
  SetDlgItemTextW(dialog, IDC_MESSAGE, question->text);
  ShowCentred(dialog);
  SetFocus(GetDlgItem(dialog, IDCANCEL));  // Enter keeps the member
  return FALSE;
}

INT_PTR AskKeepingQuestion(HWND owner, const wchar_t* title, const std::wstring& text) {
  const Question question{title, text.c_str()};
  return Run(IDD_REPAIR, owner, QuestionProc, reinterpret_cast<LPARAM>(&question), kDialogNo);
}

std::wstring SizeText(uint64_t bytes) {
  char16_t text[kFormatBufferChars];
  FormatSize(text, bytes);
  return Wide(text);
}

// A long path keeps its end, where the file's own name is, so the question stays in view.
std::wstring ShownName(const char16_t* name) {
  std::wstring shown = Wide(name);
  if (shown.size() > kShownNameChars) shown = L"\u2026" + shown.substr(shown.size() - kShownNameChars);
  return shown;
}

INT_PTR CALLBACK CancelConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      App()->CancelDialog = HandleOf(dialog);
      ShowCentred(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) return EndWith(dialog, kDialogYes);
      if (LOWORD(wParam) == IDCANCEL) return EndWith(dialog, kDialogNo);
      return FALSE;
    case WM_DESTROY:
      App()->CancelDialog = 0;
      return FALSE;
    default:
      return FALSE;
  }
}

// Prompt buttons and their answers; IDCANCEL is also Escape and the close box.
INT_PTR PromptAnswer(WORD id) {
  switch (id) {
    case IDOK: return 3;
    case IDC_DO_ALL:
    case IDC_DECRYPT_ALL: return 4;
    case IDCANCEL: return 1;
    case IDC_SKIP_ALL: return 2;
    default: return 0;
  }
}

// The typed password becomes ANSI bytes in the state's password, and leaves the control.
void TakePassword(HWND dialog, HWND edit) {
  MainState* s = App();
  std::memset(s->Password, 0, sizeof s->Password);
  GetDlgItemTextA(dialog, IDC_PASSWORD, reinterpret_cast<char*>(s->Password), sizeof s->Password);
  int length = GetWindowTextLengthW(edit);
  if (length > kPasswordWipeMaxChars) length = kPasswordWipeMaxChars;
  wchar_t blanks[kPasswordWipeMaxChars + 1];
  for (int i = 0; i < length; ++i) blanks[i] = L' ';
  blanks[length] = 0;
  SetWindowTextW(edit, blanks);
  SetWindowTextW(edit, L"");
}

// The "File Already Exists" and "Enter Password" prompts; the second has the password edit.
INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND password = GetDlgItem(dialog, IDC_PASSWORD);
  switch (message) {
    case WM_INITDIALOG:
      App()->PromptDialog = HandleOf(dialog);
      SetDlgItemTextW(dialog, IDC_PROMPT_TEXT, reinterpret_cast<const wchar_t*>(lParam));
      if (password != nullptr) {
        SendMessageW(password, EM_SETPASSWORDCHAR, kPasswordBullet, 0);
        SendMessageW(password, EM_LIMITTEXT, kPasswordMaxBytes, 0);
      }
      ShowCentred(dialog);
      if (password != nullptr) PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(password), TRUE);
      return TRUE;
    case WM_COMMAND: {
      INT_PTR answer = PromptAnswer(LOWORD(wParam));
      if (answer >= 3 && password != nullptr) TakePassword(dialog, password);
      return answer != 0 ? EndWith(dialog, answer) : FALSE;
    }
    case WM_DESTROY:
      App()->PromptDialog = 0;
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK PrefixProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SendDlgItemMessageW(dialog, IDC_PREFIX_EDIT, EM_LIMITTEXT, kPrefixMaxChars, 0);
    ShowCentred(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wParam) == IDCANCEL) return EndWith(dialog, 0);
  if (LOWORD(wParam) != IDOK) return FALSE;
  wchar_t text[kPrefixMaxChars + 1] = {};
  if (GetDlgItemTextW(dialog, IDC_PREFIX_EDIT, text, kPrefixMaxChars + 1) == 0) return EndWith(dialog, 0);
  MainState* s = App();
  std::memset(s->JobPath, 0, sizeof s->JobPath);
  for (int i = 0; i < kPrefixMaxChars && text[i] != 0; ++i) s->JobPath[i] = static_cast<char16_t>(text[i]);
  return EndWith(dialog, 1);
}

struct PreferenceBox {
  int id;
  uint32_t Settings::*field;
};
constexpr PreferenceBox kPreferenceBoxes[] = {
    {IDC_PREF_BASE_FOLDER, &Settings::BaseFolder},
    {IDC_PREF_HIDDEN, &Settings::Hidden},
    {IDC_PREF_UNICODE, &Settings::Unicode},
    {IDC_PREF_ANY_PATH, &Settings::AnyPath},
};

static_assert(IDC_PREF_LEVEL_FAST + kCompressNormal == IDC_PREF_LEVEL_NORMAL &&
              IDC_PREF_LEVEL_FAST + kCompressBest == IDC_PREF_LEVEL_BEST);

INT_PTR CALLBACK PreferencesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  Settings& options = App()->Options;
  if (message == WM_INITDIALOG) {
    for (const PreferenceBox& box : kPreferenceBoxes)
      CheckDlgButton(dialog, box.id, options.*box.field == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, IDC_PREF_LEVEL_FAST, IDC_PREF_LEVEL_BEST,
                     IDC_PREF_LEVEL_FAST + static_cast<int>(options.ZipLevel));
    ShowCentred(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wParam) == IDOK) {
    for (const PreferenceBox& box : kPreferenceBoxes)
      options.*box.field = IsDlgButtonChecked(dialog, box.id) == BST_CHECKED ? 1 : 0;
    for (uint32_t level = kCompressFast; level <= kCompressBest; ++level)
      if (IsDlgButtonChecked(dialog, IDC_PREF_LEVEL_FAST + static_cast<int>(level)) == BST_CHECKED)
        options.ZipLevel = level;
    SaveSettings(&options);
    return EndWith(dialog, 0);
  }
  return LOWORD(wParam) == IDCANCEL ? EndWith(dialog, 0) : FALSE;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SetDlgItemTextW(dialog, IDC_ABOUT_TEXT, kAboutText);
    SetDlgItemTextW(dialog, IDC_ABOUT_LINK, kMakerDomain);
    ShowCentred(dialog);
    SetFocus(GetDlgItem(dialog, IDCANCEL));  // OK, not the link, answers Enter
    return FALSE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wParam) == IDC_ABOUT_LINK) {
    ShellExecuteW(dialog, L"open", kMakerPage, nullptr, nullptr, SW_SHOWNORMAL);
    return TRUE;
  }
  return LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK ? EndWith(dialog, 0) : FALSE;
}

// Not every system moves a dialog on DM_REPOSITION; this does the same by hand.
void KeepInWorkArea(HWND dialog) {
  RECT d{};
  GetWindowRect(dialog, &d);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromRect(&d, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& work = monitor.rcWork;
  LONG left = d.left, top = d.top;
  if (d.right > work.right) left -= d.right - work.right;
  if (d.bottom > work.bottom) top -= d.bottom - work.bottom;
  if (left < work.left) left = work.left;
  if (top < work.top) top = work.top;
  if (left != d.left || top != d.top)
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A dialog that cannot be shown counts as cancelled: -1 becomes fallback.
INT_PTR Run(int resource, HWND owner, DLGPROC proc, LPARAM start, INT_PTR fallback) {
  INT_PTR result = DialogBoxParamW(AppInstance(), MAKEINTRESOURCEW(resource), owner, proc, start);
  return result == -1 ? fallback : result;
}
}  // namespace

void CenterOverParent(HWND dialog, HWND parent) {
  RECT d{}, p{};
  GetWindowRect(dialog, &d);
  if (parent != nullptr) {
    GetWindowRect(parent, &p);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &p, 0);
  }
  int left = p.left + ((p.right - p.left) - (d.right - d.left)) / 2;
  int top = p.top + ((p.bottom - p.top) - (d.bottom - d.top)) / 2;
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (parent == nullptr) return;
  SendMessageW(dialog, DM_REPOSITION, 0, 0);
  KeepInWorkArea(dialog);
}

void ShowResultDialog(HWND owner, ResultCode code) {
  Run(IDD_ERROR, owner, ErrorProc, static_cast<LPARAM>(code), 2);
}

void ShowResult(HWND owner) {
  ResultCode code = App()->Archive.result;
  if (code != kResultOk && code != kResultCancelled) ShowResultDialog(owner, code);
}

INT_PTR AskConfirm(HWND owner, uint32_t question) {
  return Run(IDD_CONFIRM, owner, ConfirmProc, question, kDialogNo);
}
INT_PTR AskCutTornTail(HWND owner, const TornTail& tail) {
  const std::wstring cause = L" Its add was interrupted, and while it is there the archive cannot be changed.";
  std::wstring text = tail.claimed == 0
      ? L"The archive ends in an incomplete member header (" + SizeText(tail.written) + L")." + cause
      : L"The last member, " + ShownName(tail.name) + L", is incomplete: " + SizeText(tail.written) + L" of " +
            SizeText(tail.claimed) + L" were written." + cause;
  text += L"\r\n\r\nCut the incomplete member away?";
  return AskKeepingQuestion(owner, L"Incomplete Member", text);
}
INT_PTR AskDeleteMember(HWND owner, const char16_t* name) {
  return AskKeepingQuestion(owner, L"Delete Member",
                            L"Delete the last member, " + ShownName(name) + L", from the archive?\r\n\r\n"
                            L"Its data are cut from the end of the file; Revert does not bring them back.");
}
INT_PTR AskCancelConfirm(HWND owner) { return Run(IDD_CANCEL_CONFIRM, owner, CancelConfirmProc, 0, kDialogNo); }
INT_PTR AskOverwrite(HWND owner, const wchar_t* path) {
  return Run(IDD_OVERWRITE, owner, PromptProc, reinterpret_cast<LPARAM>(path), 1);
}
INT_PTR AskPassword(HWND owner, const wchar_t* memberName) {
  return Run(IDD_PASSWORD, owner, PromptProc, reinterpret_cast<LPARAM>(memberName), 1);
}
INT_PTR AskPrefix(HWND owner) { return Run(IDD_PREFIX, owner, PrefixProc, 0, 0); }
void ShowPreferences(HWND owner) { Run(IDD_PREFERENCES, owner, PreferencesProc, 0, 0); }
void ShowAbout(HWND owner) { Run(IDD_ABOUT, owner, AboutProc, 0, 0); }
