// Changing archives from the window: New Archive, Add File and Folder, Revert, Delete of
// the last member, in-place Rename, Prepend, Trim and Change Mode.
#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
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

struct NewCase {
  const char* what;
  const char* name;
  const wchar_t* heading;
};
const NewCase kNew[] = {{"qbx", "new.qbx", L"Attributes"}, {"tar", "new.tar", L"Mode"}};
class UiNewArchive : public UiEdit, public testing::WithParamInterface<NewCase> {};

TEST_P(UiNewArchive, TakesFilesAndFolders) {
  const NewCase& c = GetParam();
  WriteBytes(dir.Path("one.txt"), BytesOf("first file"));
  std::filesystem::create_directories(dir.Path("tree/inner"));
  WriteBytes(dir.Path("tree/x.txt"), BytesOf("x"));
  WriteBytes(dir.Path("tree/inner/y.txt"), BytesOf("yy"));
  app.answers.newArchive = WidePath(dir.Path(c.name));
  ASSERT_TRUE(app.Run(CMD_NEW_ARCHIVE));
  EXPECT_EQ(app.Title(), WidePath(c.name));
  EXPECT_EQ(app.Heading(5), c.heading);
  EXPECT_EQ(app.StatusPart(0), L" 0 items");
  EXPECT_TRUE(std::filesystem::exists(dir.Path(c.name)));
  app.answers.file = WidePath(dir.Path("one.txt"));
  ASSERT_TRUE(app.Run(CMD_ADD_FILE));
  EXPECT_EQ(app.Column(0), Names{L"one.txt"});
  EXPECT_EQ(app.StatusPart(0), L" 1 item");
  app.answers.folder = WidePath(dir.Path("tree"));
  ASSERT_TRUE(app.Run(CMD_ADD_FOLDER));
  EXPECT_EQ(app.answers.lastFolderCaption, L"Add Items");
  Names names = app.Column(0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{L"inner/y.txt", L"one.txt", L"x.txt"}));
  EXPECT_EQ(app.StatusPart(0), L" 3 items");
}
INSTANTIATE_TEST_SUITE_P(UiEdit, UiNewArchive, testing::ValuesIn(kNew), CaseName());

TEST_F(UiEdit, RevertCutsAwayWhatWasAddedSinceOpening) {
  const std::filesystem::path archive = Copy("sample.tar");
  const Bytes before = ReadBytes(archive);
  WriteBytes(dir.Path("extra.txt"), BytesOf("extra"));
  Open(archive);
  EXPECT_EQ(app.MenuState(0, CMD_REVERT_ARCHIVE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  ASSERT_TRUE(app.Run(CMD_REVERT_ARCHIVE));  // nothing added yet: refused without a question
  EXPECT_EQ(app.FindDialog(L"Revert"), nullptr);
  app.answers.file = WidePath(dir.Path("extra.txt"));
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

TEST_F(UiEdit, OnlyTheLastMemberCanBeDeleted) {
  const std::filesystem::path archive = Copy("sample.tar");
  Open(archive);
  ASSERT_TRUE(app.Run(CMD_SORT_NAME));  // alpha.txt, docs/notes.md (the last member), numbers.txt
  Select({2});
  ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
  EXPECT_EQ(app.RowCount(), 3);
  Select({1});
  ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
  const Names names = {L"alpha.txt", L"numbers.txt"};
  EXPECT_EQ(app.Column(0), names);
  EXPECT_EQ(app.StatusPart(0), L" 2 items");
  EXPECT_EQ(app.State()->Totals.SelectedCount, 0u);
  Restart(WidePath(archive));
  EXPECT_EQ(app.Column(0), names);
}

TEST_F(UiEdit, InPlaceRenameStoresForwardSlashesAndEscapeChangesNothing) {
  const std::filesystem::path archive = Copy("sample.tar");
  Open(archive);
  Select({0});
  Rename(L"sub\\renamed.txt");
  EXPECT_EQ(app.Cell(0, 0), L"sub/renamed.txt");
  Rename(L"never.txt", VK_ESCAPE);
  EXPECT_EQ(app.Cell(0, 0), L"sub/renamed.txt");
  Restart(WidePath(archive));
  EXPECT_EQ(app.Cell(0, 0), L"sub/renamed.txt");
}

TEST_F(UiEdit, ARenameLongerThan256CharactersKeepsTheFirst256) {
  Bytes qbx;
  AppendQbxMember(qbx, {"short.txt", BytesOf("s")});
  WriteBytes(dir.Path("names.qbx"), qbx);
  Open(dir.Path("names.qbx"));
  Select({0});
  const std::wstring name = std::wstring(250, L'n') + L"0123456789" + std::wstring(40, L'x');
  Rename(name);
  EXPECT_EQ(app.Cell(0, 0), name.substr(0, 256));
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
  Restart(WidePath(archive));
  EXPECT_EQ(app.Column(0), (Names{L"lpha.txt", L"umbers.txt", L"docs/notes.md"}));
  EXPECT_EQ(app.Column(5), (Names{L"-rw-------", L"-rw-------", L"-rw-r--r--"}));
}
}  // namespace
