// Extract and Test through the progress dialog: the "File Already Exists" and password
// prompts, the verdicts, pause, continue and cancel with its confirmation.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
class UiJob : public UiTest {
 protected:
  std::string Read(const std::filesystem::path& path) {
    Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
  }
  // Answers every prompt with this title by button until the command has finished; returns
  // how many were asked. text, when given, is typed into the password edit first.
  int AnswerPrompts(UiApp& app, const std::wstring& title, int button, const wchar_t* text = nullptr) {
    int asked = 0;
    WaitUntil([&] {
      HWND prompt = app.FindDialog(title);
      if (prompt != nullptr) {
        prompts.push_back(ItemText(prompt, IDC_PROMPT_TEXT));
        if (text != nullptr) SetDlgItemTextW(prompt, IDC_PASSWORD, text);
        Press(prompt, button);
        ++asked;
        WaitUntil([&] { return !IsWindow(prompt) || !IsWindowVisible(prompt); });
      }
      return app.Finished();
    }, 30000);
    return asked;
  }
  ScratchDir dir;
  std::vector<std::wstring> prompts;  // the texts the prompts showed
};

TEST_F(UiJob, FileAlreadyExistsAnswers) {
  struct Case {
    int button;
    int asked;
    bool replaced;
  };
  const Case cases[] = {
      {IDOK, 2, true},           // Overwrite, once per file
      {IDC_DO_ALL, 1, true},     // Overwrite All
      {IDCANCEL, 2, false},      // Skip
      {IDC_SKIP_ALL, 1, false},  // Skip All
  };
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("sample.tar"))));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    std::filesystem::path out = dir.Path("out" + std::to_string(c.button));
    std::filesystem::create_directories(out);
    WriteBytes(out / "alpha.txt", BytesOf("old"));
    WriteBytes(out / "numbers.txt", BytesOf("old"));
    Answers().folder = WidePath(out);
    app.Command(CMD_EXTRACT);
    prompts.clear();
    EXPECT_EQ(AnswerPrompts(app, L"File Already Exists", c.button), c.asked);
    ASSERT_FALSE(prompts.empty());
    EXPECT_EQ(prompts[0].substr(prompts[0].size() - 9), L"alpha.txt");
    ASSERT_TRUE(app.WaitFinished());
    EXPECT_EQ(Read(out / "alpha.txt"), c.replaced ? "alpha\n" : "old");
    EXPECT_EQ(Read(out / "numbers.txt").size(), c.replaced ? 228894u : 3u);
    EXPECT_EQ(Read(out / "docs/notes.md"), "line one\nline two\n");
  }
  EXPECT_EQ(Answers().lastFolderCaption, L"Copy Items");
  // The browser starts at the archive's own folder.
  std::wstring folder = WidePath(Fixture("sample.tar").parent_path());
  EXPECT_EQ(Answers().lastFolderStart.substr(0, folder.size()), folder);
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiJob, PasswordAnswers) {
  struct Case {
    int button;
    int asked;
    bool written;
  };
  const Case cases[] = {
      {IDOK, 3, true},               // Decrypt File, once per member
      {IDC_DECRYPT_ALL, 1, true},    // Decrypt All with Same Password
      {IDCANCEL, 3, false},          // Skip File
      {IDC_SKIP_ALL, 1, false},      // Skip All Encrypted Files
  };
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("crypt.zip"))));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    std::filesystem::path out = dir.Path("pw" + std::to_string(c.button));
    std::filesystem::create_directories(out);
    Answers().folder = WidePath(out);
    app.Command(CMD_EXTRACT);
    prompts.clear();
    EXPECT_EQ(AnswerPrompts(app, L"Enter Password", c.button, L"open sesame"), c.asked);
    ASSERT_FALSE(prompts.empty());
    EXPECT_EQ(prompts[0], L"alpha.txt");
    ASSERT_TRUE(app.WaitFinished());
    EXPECT_EQ(std::filesystem::exists(out / "alpha.txt"), c.written);
    if (c.written) {
      EXPECT_EQ(Read(out / "docs/notes.md"), "line one\nline two\n");
    }
  }
  // The typed password does not outlive the dialog.
  EXPECT_EQ(app.State()->Scratch.bytes[0], 0);
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiJob, ThePasswordEditHidesAndLimitsWhatIsTyped) {
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("crypt.zip"))));
  app.Command(CMD_TEST);
  HWND prompt = app.WaitDialog(L"Enter Password");
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(SendDlgItemMessageW(prompt, IDC_PASSWORD, EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
  EXPECT_EQ(SendDlgItemMessageW(prompt, IDC_PASSWORD, EM_GETLIMITTEXT, 0, 0), 255);
  // The keyboard focus is in the edit.
  EXPECT_TRUE(WaitUntil([&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(app.uiThreadId, &info) && info.hwndFocus == GetDlgItem(prompt, IDC_PASSWORD);
  }));
  Press(prompt, IDC_SKIP_ALL);
  HWND progress = app.WaitDialog(L"Testing");
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDCANCEL) == L"Close"; }));
  Press(progress, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiJob, TestVerdictsStayUntilClosed) {
  Bytes qbx;
  AppendQbxMember(qbx, {"good.txt", BytesOf("good data")});
  AppendQbxMember(qbx, {"bad.txt", BytesOf("bad data here")});
  WriteBytes(dir.Path("good.qbx"), qbx);
  qbx[qbx.size() - 8] ^= 0x20;  // a data byte of the last member
  WriteBytes(dir.Path("bad.qbx"), qbx);
  struct Case {
    std::filesystem::path archive;
    const wchar_t* verdict;
    bool message;
  };
  const Case cases[] = {
      {Fixture("sample.zip"), L"Test completed. There are no errors.", false},
      {Fixture("sample.tar"), L"Test completed. There are no errors.", false},
      {dir.Path("good.qbx"), L"Test completed. There are no errors.", false},
      {dir.Path("bad.qbx"), L"Test failed.", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive.string());
    UiApp app;
    ASSERT_TRUE(app.Start(L"\"" + WidePath(c.archive) + L"\""));
    app.Command(CMD_TEST);
    HWND progress = app.WaitDialog(L"Testing");
    ASSERT_NE(progress, nullptr);
    if (c.message) {
      HWND message = app.WaitMessageDialog();
      ASSERT_NE(message, nullptr);
      Press(message, IDOK);
    }
    ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDC_STATUS) == c.verdict; }));
    EXPECT_FALSE(IsShown(progress, IDOK));
    EXPECT_EQ(ItemText(progress, IDCANCEL), L"Close");
    EXPECT_TRUE(IsEnabledItem(progress, IDCANCEL));
    EXPECT_FALSE(app.Finished());
    Press(progress, IDCANCEL);
    ASSERT_TRUE(app.WaitFinished());
    EXPECT_TRUE(app.Stop());
  }
}

class UiProgress : public UiJob {
 protected:
  // A small member whose file already exists (so the job waits in its prompt) and then a
  // big one that takes many pause polls to copy.
  void SetUp() override {
    UiJob::SetUp();
    Bytes tar;
    AppendTarMember(tar, {"first.txt", 5}, BytesOf("first"));
    AppendTarMember(tar, {"big.bin", kBig}, Bytes(kBig, 'z'));
    AppendZeroBlocks(tar, 2);
    WriteBytes(dir.Path("slow.tar"), tar);
    std::filesystem::create_directories(dir.Path("out"));
    WriteBytes(dir.Path("out/first.txt"), BytesOf("old"));
    Answers().folder = WidePath(dir.Path("out"));
  }
  uint32_t State(UiApp& app) { return app.State()->Archive.jobState.load(); }
  // Starts the extraction and waits for its first prompt; false when either is missing.
  bool StartExtract(UiApp& app, HWND* prompt, HWND* progress) {
    if (!app.Start(WidePath(dir.Path("slow.tar")))) return false;
    app.Command(CMD_EXTRACT);
    *prompt = app.WaitDialog(L"File Already Exists");
    *progress = app.FindDialog(L"Extracting");
    return *prompt != nullptr && *progress != nullptr;
  }
  static constexpr uint32_t kBig = 96u << 20;
};

TEST_F(UiProgress, PauseContinueAndCancelAnsweredNo) {
  UiApp app;
  HWND prompt = nullptr, progress = nullptr;
  ASSERT_TRUE(StartExtract(app, &prompt, &progress));

  // Pause while the prompt waits, then skip: the worker stops at its next poll.
  Press(progress, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDOK) == L"&Continue"; }));
  EXPECT_EQ(ItemText(progress, IDC_STATUS), L"Paused");
  Press(prompt, IDCANCEL);
  Sleep(700);
  EXPECT_EQ(State(app), 4u);
  EXPECT_FALSE(app.Finished());

  // The window refuses to close while a job runs.
  PostMessageW(app.main, WM_CLOSE, 0, 0);
  Sleep(200);
  EXPECT_TRUE(IsWindow(app.main));

  // Cancel while paused by the user, answered No: still paused.
  Press(progress, IDCANCEL);
  HWND question = app.WaitDialog(L"Cancel Confirmation");
  ASSERT_NE(question, nullptr);
  Press(question, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return app.State()->CancelDialog == 0; }));
  EXPECT_EQ(State(app), 4u);
  EXPECT_EQ(ItemText(progress, IDC_STATUS), L"Paused");

  // Continue, then Cancel while running: paused for the question, No goes on.
  Press(progress, IDOK);
  Press(progress, IDCANCEL);
  question = app.WaitDialog(L"Cancel Confirmation");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(State(app), 4u);
  EXPECT_EQ(ItemText(progress, IDC_STATUS), L"Paused");
  Press(question, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished(60000));
  EXPECT_EQ(std::filesystem::file_size(dir.Path("out/big.bin")), kBig);
  EXPECT_EQ(Read(dir.Path("out/first.txt")), "old");
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiProgress, CancelDuringAPromptAsksNothingAndYesCancelsQuietly) {
  UiApp app;
  HWND prompt = nullptr, progress = nullptr;
  ASSERT_TRUE(StartExtract(app, &prompt, &progress));

  Press(progress, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return ItemText(progress, IDC_STATUS) == L"Continuing..."; }));
  EXPECT_EQ(app.FindDialog(L"Cancel Confirmation"), nullptr);
  EXPECT_EQ(State(app), 3u);

  Press(progress, IDOK);  // pause
  ASSERT_TRUE(WaitUntil([&] { return State(app) == 4u; }));
  Press(prompt, IDOK);  // overwrite
  Press(progress, IDCANCEL);
  HWND question = app.WaitDialog(L"Cancel Confirmation");
  ASSERT_NE(question, nullptr);
  Press(question, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return app.Finished() || ItemText(progress, IDC_STATUS) == L"Cancelling..."; }));
  if (!app.Finished()) {
    EXPECT_FALSE(IsShown(progress, IDOK));
    EXPECT_FALSE(IsEnabledItem(progress, IDCANCEL));
  }
  ASSERT_TRUE(app.WaitFinished(60000));
  EXPECT_EQ(app.WaitMessageDialog(300), nullptr);
  // The worker was paused before it wrote a byte: the existing file is untouched.
  EXPECT_EQ(Read(dir.Path("out/first.txt")), "old");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out/big.bin")) &&
               std::filesystem::file_size(dir.Path("out/big.bin")) == kBig);
  EXPECT_TRUE(app.Stop());
}
}  // namespace
