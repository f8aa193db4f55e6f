// Extract and Test through the progress dialog: which prompt button gives which answer,
// the verdicts, the fields, pause, continue and cancel with its confirmation. What the
// answers do is the jobs' tests.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "app/win32_host.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "ui_driver.h"

namespace {
// asked: prompts until the job ends; written: alpha.txt extracted (over the old one). The
// password prompt's Skip buttons are the overwrite prompt's (one answer table).
struct PromptCase { const char* what; bool password; int button; int asked; bool written; };
const PromptCase kPrompts[] = {
    {"overwrite", false, IDOK, 2, true},          {"overwrite all", false, IDC_DO_ALL, 1, true},
    {"skip", false, IDCANCEL, 2, false},          {"skip all", false, IDC_SKIP_ALL, 1, false},
    {"decrypt", true, IDOK, 3, true},             {"decrypt all", true, IDC_DECRYPT_ALL, 1, true},
};
class UiPrompt : public UiTest, public testing::WithParamInterface<PromptCase> {};

TEST_P(UiPrompt, EachButtonGivesItsAnswer) {
  const PromptCase& c = GetParam();
  const std::filesystem::path archive = Fixture(c.password ? "crypt.zip" : "sample.tar");
  std::filesystem::create_directories(dir.Path("out"));
  if (!c.password)
    for (const char* name : {"out/alpha.txt", "out/numbers.txt"}) WriteBytes(dir.Path(name), BytesOf("old"));
  Open(archive);
  app.answers.folder = dir.Path("out").wstring();
  app.Command(CMD_EXTRACT);
  int asked = 0;
  std::wstring firstText;
  WaitUntil([&] {
    HWND prompt = app.FindDialog(c.password ? L"Enter Password" : L"File Already Exists");
    if (prompt != nullptr) {
      if (asked++ == 0) firstText = ItemText(prompt, IDC_PROMPT_TEXT);
      SetDlgItemTextW(prompt, IDC_PASSWORD, L"open sesame");
      Press(prompt, c.button);
      WaitUntil([&] { return !IsWindow(prompt) || !IsWindowVisible(prompt); });
    }
    return app.Finished();
  }, 30000);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(asked, c.asked);
  EXPECT_NE(firstText.find(L"alpha.txt"), std::wstring::npos);
  EXPECT_EQ(ReadBytes(dir.Path("out/alpha.txt")), BytesOf(c.written ? "alpha\n" : "old"));
  EXPECT_EQ(app.answers.lastFolderCaption, L"Extract");
  // The browser starts there, named without a closing separator (Wine would start at the drive).
  EXPECT_EQ(app.answers.lastFolderStart, archive.parent_path().wstring());
}
INSTANTIATE_TEST_SUITE_P(UiJob, UiPrompt, testing::ValuesIn(kPrompts), CaseName());

using UiJob = UiTest;

TEST_F(UiJob, ADamagedArchiveShowsItsErrorThenTheVerdict) {
  Bytes qbx = QbxBytes({{"good.txt", BytesOf("good data")}, {"bad.txt", BytesOf("bad data here")}});
  qbx[qbx.size() - 8] ^= 0x20;
  OpenBytes("a.qbx", qbx);
  HWND progress = app.Ask(CMD_TEST, L"Testing");
  ASSERT_NE(progress, nullptr);
  EXPECT_NE(app.DismissMessage(), L"");
  ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDC_STATUS) == L"Test failed."; }));
  EXPECT_TRUE(IsEnabledItem(progress, IDCANCEL));
  ASSERT_TRUE(app.Close(progress));
}

// What the progress dialog shows at the moment the job's done message reaches it.
struct AtDone { bool seen = false; bool pauseShown = false, cancelEnabled = false; };
AtDone gAtDone;  // a hook has no user pointer
LRESULT CALLBACK WatchDone(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && message->message == kJobDoneMessage && !gAtDone.seen)
    gAtDone = {true, IsShown(message->hwnd, IDOK), IsEnabledItem(message->hwnd, IDCANCEL)};
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class UiProgress : public UiTest {
 protected:
  // A small member whose file already exists (so the job waits in its prompt) and then a
  // big one that takes many pause polls to copy; extraction started, its prompt up.
  void SetUp() override {
    UiTest::SetUp();
    std::filesystem::create_directories(dir.Path("out"));
    WriteBytes(dir.Path("out/first.txt"), BytesOf("old"));
    OpenBytes("slow.tar", TarBytes({{{"first.txt", 5}, BytesOf("first")}, {{"big.bin", kBig}, Bytes(kBig, 'z')}}));
    app.answers.folder = dir.Path("out").wstring();
    prompt = app.Ask(CMD_EXTRACT, L"File Already Exists");
    progress = app.FindDialog(L"Extracting");
    ASSERT_NE(prompt, nullptr);
    ASSERT_NE(progress, nullptr);
  }
  uint32_t State() { return app.State()->Archive.jobState.load(); }
  HWND AskCancel() {
    Press(progress, IDCANCEL);
    return app.WaitDialog(L"Cancel Confirmation");
  }
  // Pause, answer the prompt, Cancel and Yes: the job ends without writing.
  void CancelWhilePaused() {
    Press(progress, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return State() == kJobPaused; }));
    Press(prompt, IDOK);
    HWND question = AskCancel();
    ASSERT_NE(question, nullptr);
    Press(question, IDOK);
    ASSERT_TRUE(app.WaitFinished(60000));
    EXPECT_EQ(ReadBytes(dir.Path("out/first.txt")), BytesOf("old"));
  }
  static constexpr uint32_t kBig = 96u << 20;
  HWND prompt = nullptr, progress = nullptr;
};

TEST_F(UiProgress, PauseContinueAndCancelAnsweredNo) {
  // Pause while the prompt waits, then skip: the worker stops at its next poll.
  Press(progress, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDOK) == L"&Continue"; }));
  EXPECT_EQ(ItemText(progress, IDC_STATUS), L"Paused");
  Press(prompt, IDCANCEL);
  Sleep(700);
  EXPECT_EQ(State(), kJobPaused);
  EXPECT_FALSE(app.Finished());
  PostMessageW(app.main, WM_CLOSE, 0, 0);  // refused while a job runs
  Sleep(200);
  EXPECT_TRUE(IsWindow(app.main));
  // Cancel while paused by the user, answered No: still paused.
  HWND question = AskCancel();
  ASSERT_NE(question, nullptr);
  Press(question, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return app.State()->CancelDialog == 0; }));
  EXPECT_EQ(State(), kJobPaused);
  EXPECT_EQ(ItemText(progress, IDC_STATUS), L"Paused");
  // Continue, then Cancel while running: paused for the question, No goes on.
  Press(progress, IDOK);
  question = AskCancel();
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(State(), kJobPaused);
  EXPECT_EQ(ItemText(progress, IDC_STATUS), L"Paused");
  Press(question, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished(60000));
  EXPECT_EQ(std::filesystem::file_size(dir.Path("out/big.bin")), kBig);
  EXPECT_EQ(ReadBytes(dir.Path("out/first.txt")), BytesOf("old"));
}

TEST_F(UiProgress, CancelDuringAPromptAsksNothingAndYesCancelsQuietly) {
  Press(progress, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDC_STATUS) == L"Continuing..."; }));
  EXPECT_EQ(app.FindDialog(L"Cancel Confirmation"), nullptr);
  EXPECT_EQ(State(), kJobRunning);
  gAtDone = {};
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchDone, nullptr, app.uiThreadId);
  ASSERT_NE(hook, nullptr);
  CancelWhilePaused();
  UnhookWindowsHookEx(hook);
  ASSERT_TRUE(gAtDone.seen);
  EXPECT_FALSE(gAtDone.pauseShown);
  EXPECT_FALSE(gAtDone.cancelEnabled);
  EXPECT_EQ(app.WaitMessageDialog(300), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out/big.bin")) && std::filesystem::file_size(dir.Path("out/big.bin")) == kBig);
}

// Which field shows which figure (the texts themselves are FormatTest's); a done message
// of an earlier job changes nothing.
TEST_F(UiProgress, FieldsShowTheProgressBlockAndAnEarlierJobsDoneIsIgnored) {
  SendMessageW(progress, kJobDoneMessage, app.State()->DialogToken + 1, kOutcomeTestPassed);
  EXPECT_EQ(State(), kJobRunning);
  EXPECT_TRUE(IsShown(progress, IDOK));
  EXPECT_NE(ItemText(progress, IDCANCEL), L"Close");
  ProgressBlock block{};
  block.totalBytes = 1572864;
  block.fraction = 0.42;
  block.elapsedSec = 12.5;
  block.remainingSec = 7205;
  block.inRate = 1.5;
  block.outRate = 2048;
  SendMessageW(progress, kJobUpdateMessage, kUpdateFullProgress, reinterpret_cast<LPARAM>(&block));
  EXPECT_EQ(ItemText(progress, IDC_ELAPSED), L"12.5 seconds  ");
  EXPECT_EQ(ItemText(progress, IDC_REMAINING), L"2 hours, 5 seconds  ");
  EXPECT_EQ(ItemText(progress, IDC_SIZE_VALUE), L"1.5 MB  ");
  EXPECT_EQ(ItemText(progress, IDC_SPEED), L"1.5 MB/s  (2.0 GB/s)  ");
  EXPECT_EQ(SendDlgItemMessageW(progress, IDC_PROGRESS, PBM_GETPOS, 0, 0), 42);
  block.outRate = block.inRate;  // one rate when both are the same
  SendMessageW(progress, kJobUpdateMessage, kUpdateFullProgress, reinterpret_cast<LPARAM>(&block));
  EXPECT_EQ(ItemText(progress, IDC_SPEED), L"1.5 MB/s  ");
  CancelWhilePaused();
}
}  // namespace
