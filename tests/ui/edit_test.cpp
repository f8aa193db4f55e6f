// Changing archives from the window: New Archive, Add File and Folder, Revert, Delete of
// the last member, in-place Rename, Prepend, Trim and Change Mode. The edits' own rules are
// the core's and the jobs' tests; here, that the window reaches them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
using Names = std::vector<std::wstring>;

class UiEdit : public UiTest {
 protected:
  // Renames the selected row in the list's edit, ending it with the key.
  void Rename(const std::wstring& name, WORD key = VK_RETURN) {
    ASSERT_TRUE(app.Run(CMD_ROW_RENAME));
    HWND edit = reinterpret_cast<HWND>(SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, name.c_str());
    PostMessageW(edit, WM_KEYDOWN, key, 0);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0) == 0; }));
    ASSERT_TRUE(app.WaitIdle());
  }
};

// Creating either format is the core's, headings by format UiOpenFormat's, Add File the
// Revert test's, the names an added folder gives the jobs'.
TEST_F(UiEdit, ANewArchiveTakesAFolder) {
  std::filesystem::create_directories(dir.Path("tree/inner"));
  WriteBytes(dir.Path("tree/x.txt"), BytesOf("x"));
  WriteBytes(dir.Path("tree/inner/y.txt"), BytesOf("yy"));
  app.answers.newArchive = dir.Path("new.qbx").wstring();
  ASSERT_TRUE(app.Run(CMD_NEW_ARCHIVE));
  EXPECT_EQ(app.Title(), L"new.qbx");
  EXPECT_EQ(app.StatusPart(0), L" 0 items");
  EXPECT_TRUE(std::filesystem::exists(dir.Path("new.qbx")));
  app.answers.folder = dir.Path("tree").wstring();
  ASSERT_TRUE(app.Run(CMD_ADD_FOLDER));
  EXPECT_EQ(app.answers.lastFolderCaption, L"Add Items");
  EXPECT_EQ(app.StatusPart(0), L" 2 items");
}

TEST_F(UiEdit, RevertCutsAwayWhatWasAddedSinceOpening) {
  const std::filesystem::path archive = Copy("sample.tar");
  const Bytes before = ReadBytes(archive);
  WriteBytes(dir.Path("extra.txt"), BytesOf("extra"));
  Open(archive);
  EXPECT_EQ(app.MenuState(0, CMD_REVERT_ARCHIVE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  ASSERT_TRUE(app.Run(CMD_REVERT_ARCHIVE));  // nothing added yet: refused without a question
  EXPECT_EQ(app.FindDialog(L"Revert"), nullptr);
  app.answers.file = dir.Path("extra.txt").wstring();
  ASSERT_TRUE(app.Run(CMD_ADD_FILE));
  EXPECT_EQ(app.MenuState(0, CMD_REVERT_ARCHIVE) & MF_GRAYED, 0u);
  for (int button : {IDCANCEL, IDOK}) {  // No keeps everything
    app.Command(CMD_REVERT_ARCHIVE);
    HWND question = app.WaitDialog(L"Revert");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(ItemText(question, IDC_MESSAGE), L"Delete all new additions and reopen archive?");
    Press(question, button);
    ASSERT_TRUE(app.WaitFinished());
    EXPECT_EQ(app.RowCount(), button == IDOK ? 3 : 4);
  }
  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  EXPECT_EQ(ReadBytes(archive), before);
}

// Rows sorted by name: a (the last member), b, c. Member index 1 is a zero block, so after
// c goes, b is the last member although its index is not the highest but one.
TEST_F(UiEdit, OnlyTheLastMemberCanBeDeletedAndAGapIsPassedOver) {
  Bytes tar;
  AppendTarMember(tar, {"b", 1}, BytesOf("1"));
  AppendZeroBlocks(tar, 1);
  AppendTarMember(tar, {"c", 1}, BytesOf("2"));
  AppendTarMember(tar, {"a", 1}, BytesOf("3"));
  AppendZeroBlocks(tar, 2);
  WriteBytes(dir.Path("gap.tar"), tar);
  Open(dir.Path("gap.tar"));
  ASSERT_TRUE(app.Run(CMD_SORT_NAME));
  Select({1});
  ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
  EXPECT_EQ(app.RowCount(), 3);
  Select({0});
  ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
  EXPECT_EQ(app.Column(0), (Names{L"b", L"c"}));
  EXPECT_EQ(app.StatusPart(0), L" 2 items");
  EXPECT_EQ(app.State()->Totals.SelectedCount, 0u);
  for (int rowsLeft : {1, 0}) {
    Select({rowsLeft});
    ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
    ASSERT_EQ(app.RowCount(), rowsLeft);
  }
  ASSERT_TRUE(app.Stop());
  EXPECT_EQ(ReadBytes(dir.Path("gap.tar")), Bytes(1024, 0));
}

// Enter stores the name and Escape changes nothing; the names themselves: Rename.QbxNamesAndDirectoryFlag.
TEST_F(UiEdit, InPlaceRename) {
  WriteBytes(dir.Path("names.qbx"), QbxBytes({{"short.txt", BytesOf("s")}}));
  Open(dir.Path("names.qbx"));
  Select({0});
  Rename(L"sub\\renamed.txt");
  EXPECT_EQ(app.Cell(0, 0), L"sub/renamed.txt");
  Rename(L"never.txt", VK_ESCAPE);
  EXPECT_EQ(app.Cell(0, 0), L"sub/renamed.txt");
}

// A ZIP made here takes a rename of the same length in bytes and loses its last member; a
// name of another length is refused with the reason (the refusals themselves: ZipRename).
TEST_F(UiEdit, AZipMadeHereIsRenamedAndCut) {
  WriteBytes(dir.Path("a.txt"), BytesOf("a"));
  WriteBytes(dir.Path("b.txt"), BytesOf("bb"));
  const std::filesystem::path archive = dir.Path("new.zip");
  app.answers.newArchive = archive.wstring();
  ASSERT_TRUE(app.Run(CMD_NEW_ARCHIVE));
  for (const char* name : {"a.txt", "b.txt"}) {
    app.answers.file = dir.Path(name).wstring();
    ASSERT_TRUE(app.Run(CMD_ADD_FILE));
  }
  Select({0});
  Rename(L"c.txt");
  EXPECT_EQ(app.Column(0), (Names{L"c.txt", L"b.txt"}));
  ASSERT_TRUE(app.Run(CMD_ROW_RENAME));
  HWND edit = reinterpret_cast<HWND>(SendMessageW(app.List(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"longer.txt");
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  HWND error = app.WaitDialog(L"Rename Error");
  ASSERT_NE(error, nullptr);
  Press(error, IDOK);
  ASSERT_TRUE(app.WaitIdle());
  Select({1});
  ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
  Restart(archive.wstring());
  EXPECT_EQ(app.Column(0), (Names{L"c.txt"}));
}

TEST_F(UiEdit, PrependTrimAndChangeModeRewriteTheSelectedRows) {
  const std::filesystem::path archive = Copy("sample.tar");
  Open(archive);
  Select({0, 1});
  app.Command(CMD_ROW_PREPEND);
  HWND dialog = app.WaitDialog(L"Prepend Prefix to Path/Name");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_PREFIX_EDIT, EM_GETLIMITTEXT, 0, 0), 64);
  SetDlgItemTextW(dialog, IDC_PREFIX_EDIT, L"new\\");
  Press(dialog, IDOK);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.Column(0), (Names{L"new/alpha.txt", L"new/numbers.txt", L"docs/notes.md"}));
  ASSERT_TRUE(app.Run(CMD_ROW_TRIM_BASE + 5));
  ASSERT_TRUE(app.Run(CMD_ROW_MODE_LAST));  // 600
  Restart(archive.wstring());
  EXPECT_EQ(app.Column(0), (Names{L"lpha.txt", L"umbers.txt", L"docs/notes.md"}));
  EXPECT_EQ(app.Column(5), (Names{L"-rw-------", L"-rw-------", L"-rw-r--r--"}));
}
}  // namespace
