// Changing archives from the window: New Archive, Add File and Folder, Revert, Delete of
// the last member, in-place Rename, Prepend, Trim and Change Mode.
#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
class UiEdit : public UiTest {
 protected:
  // A writable copy of the TAR fixture (alpha.txt, numbers.txt, docs/notes.md).
  std::filesystem::path TarCopy() {
    std::filesystem::copy_file(Fixture("sample.tar"), dir.Path("copy.tar"));
    return dir.Path("copy.tar");
  }
  // Selects the rows and waits until the selection counters have them.
  void Select(UiApp& app, const std::vector<int>& rows) {
    app.SelectRows(rows);
    ASSERT_TRUE(WaitUntil([&] { return app.State()->Totals.SelectedCount == rows.size(); }));
  }
  // Runs a row command whose dialog asks for a prefix.
  void Prepend(UiApp& app, const std::wstring& prefix) {
    app.Command(CMD_ROW_PREPEND);
    HWND dialog = app.WaitDialog(L"Prepend Prefix to Path/Name");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_PREFIX_EDIT, EM_GETLIMITTEXT, 0, 0), 64);
    SetDlgItemTextW(dialog, IDC_PREFIX_EDIT, prefix.c_str());
    Press(dialog, IDOK);
    ASSERT_TRUE(app.WaitFinished());
  }
  ScratchDir dir;
};

TEST_F(UiEdit, NewArchivesOfBothKindsTakeFilesAndFolders) {
  WriteBytes(dir.Path("one.txt"), BytesOf("first file"));
  std::filesystem::create_directories(dir.Path("tree/inner"));
  WriteBytes(dir.Path("tree/x.txt"), BytesOf("x"));
  WriteBytes(dir.Path("tree/inner/y.txt"), BytesOf("yy"));
  struct Case {
    const char* name;
    const wchar_t* heading;
  };
  for (const Case& c : {Case{"new.qbx", L"Attributes"}, Case{"new.tar", L"Mode"}}) {
    SCOPED_TRACE(c.name);
    UiApp app;
    ASSERT_TRUE(app.Start());
    Answers().newArchive = WidePath(dir.Path(c.name));
    ASSERT_TRUE(app.Run(CMD_NEW_ARCHIVE));
    EXPECT_EQ(app.Title(), std::wstring(c.name, c.name + strlen(c.name)));
    EXPECT_EQ(app.Heading(5), c.heading);
    EXPECT_EQ(app.StatusPart(0), L" 0 items");
    EXPECT_TRUE(std::filesystem::exists(dir.Path(c.name)));
    EXPECT_EQ(app.MenuState(0, CMD_ADD_FILE) & MF_GRAYED, 0u);

    Answers().file = WidePath(dir.Path("one.txt"));
    ASSERT_TRUE(app.Run(CMD_ADD_FILE));
    EXPECT_EQ(app.Column(0), std::vector<std::wstring>{L"one.txt"});
    EXPECT_EQ(app.StatusPart(0), L" 1 item");

    Answers().folder = WidePath(dir.Path("tree"));
    ASSERT_TRUE(app.Run(CMD_ADD_FOLDER));
    EXPECT_EQ(Answers().lastFolderCaption, L"Add Items");
    std::vector<std::wstring> names = app.Column(0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"inner/y.txt", L"one.txt", L"x.txt"}));
    EXPECT_EQ(app.StatusPart(0), L" 3 items");
    EXPECT_TRUE(app.Stop());
  }
}

TEST_F(UiEdit, RevertCutsAwayWhatWasAddedSinceOpening) {
  std::filesystem::path archive = TarCopy();
  Bytes before = ReadBytes(archive);
  WriteBytes(dir.Path("extra.txt"), BytesOf("extra"));
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(archive)));
  // Nothing added yet: Revert is refused.
  EXPECT_EQ(app.MenuState(0, CMD_REVERT_ARCHIVE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  ASSERT_TRUE(app.Run(CMD_REVERT_ARCHIVE));
  EXPECT_EQ(app.FindDialog(L"Revert"), nullptr);

  Answers().file = WidePath(dir.Path("extra.txt"));
  ASSERT_TRUE(app.Run(CMD_ADD_FILE));
  EXPECT_EQ(app.RowCount(), 4);
  EXPECT_EQ(app.MenuState(0, CMD_REVERT_ARCHIVE) & MF_GRAYED, 0u);

  // No keeps everything.
  app.Command(CMD_REVERT_ARCHIVE);
  HWND question = app.WaitDialog(L"Revert");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(ItemText(question, IDC_MESSAGE), L"Delete all new additions and reopen archive?");
  Press(question, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.RowCount(), 4);

  app.Command(CMD_REVERT_ARCHIVE);
  question = app.WaitDialog(L"Revert");
  ASSERT_NE(question, nullptr);
  Press(question, IDOK);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.Column(0), (std::vector<std::wstring>{L"alpha.txt", L"numbers.txt", L"docs/notes.md"}));
  uint64_t end = app.State()->Totals.OpenEndOffset;
  ASSERT_TRUE(app.Stop());
  // The members' bytes are as before; the end is two zero blocks (the tool's padding to
  // a whole record is not kept).
  Bytes after = ReadBytes(archive);
  ASSERT_EQ(after.size(), end + 1024);
  EXPECT_TRUE(std::equal(after.begin(), after.end(), before.begin()));
}

TEST_F(UiEdit, OnlyTheLastMemberCanBeDeleted) {
  std::filesystem::path archive = TarCopy();
  uintmax_t size = std::filesystem::file_size(archive);
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(archive)));
  ASSERT_TRUE(app.Run(CMD_SORT_NAME));  // alpha.txt, docs/notes.md (the last member), numbers.txt
  Select(app, {2});
  ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
  EXPECT_EQ(app.RowCount(), 3);

  Select(app, {1});
  ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
  std::vector<std::wstring> names = app.Column(0);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"alpha.txt", L"numbers.txt"}));
  EXPECT_EQ(app.StatusPart(0), L" 2 items");
  EXPECT_EQ(app.State()->Totals.SelectedCount, 0u);
  ASSERT_TRUE(app.Stop());
  EXPECT_LT(std::filesystem::file_size(archive), size);

  // The archive reopens with what remains.
  UiApp again;
  ASSERT_TRUE(again.Start(WidePath(archive)));
  EXPECT_EQ(again.Column(0), names);
  EXPECT_TRUE(again.Stop());
}

TEST_F(UiEdit, InPlaceRenameStoresForwardSlashesAndEscapeChangesNothing) {
  std::filesystem::path archive = TarCopy();
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(archive)));
  Select(app, {0});
  ASSERT_TRUE(app.Run(CMD_ROW_RENAME));
  HWND edit = reinterpret_cast<HWND>(SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"sub\\renamed.txt");
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.Cell(0, 0) == L"sub/renamed.txt"; }));

  ASSERT_TRUE(app.Run(CMD_ROW_RENAME));
  edit = reinterpret_cast<HWND>(SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"never.txt");
  PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(WaitUntil([&] { return SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0) == 0; }));
  EXPECT_EQ(app.Cell(0, 0), L"sub/renamed.txt");
  ASSERT_TRUE(app.Stop());

  UiApp again;
  ASSERT_TRUE(again.Start(WidePath(archive)));
  EXPECT_EQ(again.Cell(0, 0), L"sub/renamed.txt");
  EXPECT_TRUE(again.Stop());
}

TEST_F(UiEdit, ARenameLongerThan256CharactersKeepsTheFirst256) {
  Bytes qbx;
  AppendQbxMember(qbx, {"short.txt", BytesOf("s")});
  WriteBytes(dir.Path("names.qbx"), qbx);
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(dir.Path("names.qbx"))));
  Select(app, {0});
  ASSERT_TRUE(app.Run(CMD_ROW_RENAME));
  HWND edit = reinterpret_cast<HWND>(SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  std::wstring name = std::wstring(250, L'n') + L"0123456789" + std::wstring(40, L'x');
  SetWindowTextW(edit, name.c_str());
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.Cell(0, 0) != L"short.txt"; }));
  EXPECT_EQ(app.Cell(0, 0), name.substr(0, 256));
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiEdit, PrependTrimAndChangeModeRewriteTheSelectedRows) {
  std::filesystem::path archive = TarCopy();
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(archive)));
  Select(app, {0, 1});
  Prepend(app, L"new\\");
  EXPECT_EQ(app.Column(0), (std::vector<std::wstring>{L"new/alpha.txt", L"new/numbers.txt", L"docs/notes.md"}));

  ASSERT_TRUE(app.Run(CMD_ROW_TRIM_BASE + 5));
  EXPECT_EQ(app.Column(0), (std::vector<std::wstring>{L"lpha.txt", L"umbers.txt", L"docs/notes.md"}));

  ASSERT_TRUE(app.Run(CMD_ROW_MODE_LAST));  // 600
  EXPECT_EQ(app.Cell(0, 5), L"-rw-------");
  EXPECT_EQ(app.Cell(1, 5), L"-rw-------");
  EXPECT_EQ(app.Cell(2, 5), L"-rw-r--r--");
  ASSERT_TRUE(app.Stop());

  UiApp again;
  ASSERT_TRUE(again.Start(WidePath(archive)));
  EXPECT_EQ(again.Column(0), (std::vector<std::wstring>{L"lpha.txt", L"umbers.txt", L"docs/notes.md"}));
  EXPECT_EQ(again.Cell(1, 5), L"-rw-------");
  EXPECT_TRUE(again.Stop());
}

TEST_F(UiEdit, ARowJobOnAReadOnlyArchiveIsRefused) {
  UiApp app;
  ASSERT_TRUE(app.Start(WidePath(Fixture("sample.zip"))));
  Select(app, {0});
  ASSERT_TRUE(app.Run(CMD_ROW_TRIM_BASE + 1));
  ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
  EXPECT_EQ(app.Cell(0, 0), L"alpha.txt");
  EXPECT_EQ(app.RowCount(), 4);
  EXPECT_TRUE(app.Stop());
}
}  // namespace
