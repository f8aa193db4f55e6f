// Changing archives from the window: New Archive, Add File and Folder, files and folders
// dropped on it, Revert, Delete of the last member, in-place Rename, Prepend, Trim and
// Change Mode; and extraction: beside the archive, through the Extract dialog, dragged out.
// The edits' own rules are the core's and the jobs' tests; here, that the window reaches them.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "app/drag_out.h"
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
    ASSERT_NE(app.RenameEdit(), nullptr);
    SetWindowTextW(app.RenameEdit(), name.c_str());
    PostMessageW(app.RenameEdit(), WM_KEYDOWN, key, 0);
  }
  void Renamed(const std::wstring& name, WORD key = VK_RETURN) {
    Rename(name, key);
    ASSERT_TRUE(WaitUntil([&] { return app.RenameEdit() == nullptr; }));
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

// A drop as Explorer hands it over: a DROPFILES block with the wide paths behind it.
void Drop(HWND window, const std::vector<std::filesystem::path>& paths) {
  std::wstring list;
  for (const auto& p : paths) list += p.wstring() + L'\0';
  list += L'\0';
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  auto* files = static_cast<DROPFILES*>(GlobalLock(block));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  std::memcpy(files + 1, list.data(), list.size() * sizeof(wchar_t));
  GlobalUnlock(block);
  PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

// Dropped onto no archive, an archive opens; a file and a folder of two dropped onto a
// compressed TAR are refused with the message, onto a TAR added.
TEST_F(UiEdit, ADropOpensAddsOrIsRefused) {
  std::filesystem::create_directories(dir.Path("tree/inner"));
  for (const char* name : {"one.txt", "tree/a.txt", "tree/inner/b.txt"}) WriteBytes(dir.Path(name), BytesOf(name));
  const std::filesystem::path archive = Copy("sample.tar");
  const std::vector<std::filesystem::path> files = {dir.Path("one.txt"), dir.Path("tree")};
  Drop(app.main, {archive});
  ASSERT_TRUE(WaitUntil([&] { return app.Title() == L"sample.tar"; }));
  ASSERT_TRUE(app.WaitIdle());
  EXPECT_EQ(app.RowCount(), 3);
  Open(Fixture("sample.tgz"));
  Drop(app.main, files);
  EXPECT_EQ(app.DismissMessage(), L"Save Error");
  ASSERT_TRUE(WaitUntil([&] { return app.FindDialog(L"Save Error") == nullptr; }));
  ASSERT_TRUE(app.WaitIdle());
  EXPECT_EQ(app.RowCount(), 3);
  Open(archive);
  Drop(app.main, files);
  EXPECT_TRUE(WaitUntil([&] { return app.RowCount() == 3 + 3; }));
  EXPECT_TRUE(app.WaitIdle());
}

TEST_F(UiEdit, RevertCutsAwayWhatWasAddedSinceOpening) {
  const std::filesystem::path archive = Copy("sample.tar");
  const Bytes before = ReadBytes(archive);
  WriteBytes(dir.Path("extra.txt"), BytesOf("extra"));
  Open(archive);
  EXPECT_TRUE(app.Grayed(0, CMD_REVERT_ARCHIVE));
  ASSERT_TRUE(app.Run(CMD_REVERT_ARCHIVE));  // nothing added yet: refused without a question
  EXPECT_EQ(app.FindDialog(L"Revert"), nullptr);
  app.answers.file = dir.Path("extra.txt").wstring();
  ASSERT_TRUE(app.Run(CMD_ADD_FILE));
  EXPECT_FALSE(app.Grayed(0, CMD_REVERT_ARCHIVE));
  for (int button : {IDCANCEL, IDOK}) {  // No keeps everything
    HWND question = app.Ask(CMD_REVERT_ARCHIVE, L"Revert");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(ItemText(question, IDC_MESSAGE), L"Delete all new additions and reopen archive?");
    ASSERT_TRUE(app.Close(question, button));
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
  OpenBytes("gap.tar", tar);
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

// In-place rename: Enter stores the name, Escape changes nothing (the names themselves:
// Rename.QbxNamesAndDirectoryFlag). A ZIP made here takes a name of the same length in bytes
// and loses its last member; another length is refused with the reason (ZipRename's).
TEST_F(UiEdit, InPlaceRenameAndAZipMadeHereRenamedAndCut) {
  OpenBytes("names.qbx", QbxBytes({{"short.txt", BytesOf("s")}}));
  Select({0});
  Renamed(L"sub\\renamed.txt");
  EXPECT_EQ(app.Cell(0, 0), L"sub/renamed.txt");
  Renamed(L"never.txt", VK_ESCAPE);
  EXPECT_EQ(app.Cell(0, 0), L"sub/renamed.txt");
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
  Renamed(L"c.txt");
  EXPECT_EQ(app.Column(0), (Names{L"c.txt", L"b.txt"}));
  Rename(L"longer.txt");
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
  HWND dialog = app.Ask(CMD_ROW_PREPEND, L"Prepend Prefix to Path/Name");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_PREFIX_EDIT, EM_GETLIMITTEXT, 0, 0), 64);
  SetDlgItemTextW(dialog, IDC_PREFIX_EDIT, L"new\\");
  ASSERT_TRUE(app.Close(dialog, IDOK));
  EXPECT_EQ(app.Column(0), (Names{L"new/alpha.txt", L"new/numbers.txt", L"docs/notes.md"}));
  ASSERT_TRUE(app.Run(CMD_ROW_TRIM_BASE + 5));
  ASSERT_TRUE(app.Run(CMD_ROW_MODE_LAST));  // 600
  Restart(archive.wstring());
  EXPECT_EQ(app.Column(0), (Names{L"lpha.txt", L"umbers.txt", L"docs/notes.md"}));
  EXPECT_EQ(app.Column(5), (Names{L"-rw-------", L"-rw-------", L"-rw-r--r--"}));
}

// Extract Here and Extract to "name\" pick no folder: the archive's own, or one named after
// it beside it. The Extract dialog: the archive's folder offered, Browse filling the edit, a
// typed folder made when missing, Cancel extracting nothing.
TEST_F(UiEdit, ExtractBesideTheArchiveOrToATypedOrBrowsedFolder) {
  const std::filesystem::path archive = Copy("sample.tar");
  Open(archive);
  UseExtractDialog();
  auto extractInto = [&](const std::function<void(HWND)>& answer, int button) {
    HWND dialog = app.Ask(CMD_EXTRACT, L"Extract");
    ASSERT_NE(dialog, nullptr);
    answer(dialog);
    Press(dialog, button);
    ASSERT_TRUE(app.WaitFinished(30000));
  };
  extractInto([&](HWND dialog) { EXPECT_EQ(ItemText(dialog, IDC_EXTRACT_FOLDER), archive.parent_path().wstring()); },
              IDCANCEL);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("alpha.txt")));
  extractInto([&](HWND dialog) { SetDlgItemTextW(dialog, IDC_EXTRACT_FOLDER, L"typed\\new"); }, IDOK);
  EXPECT_EQ(ReadBytes(dir.Path("typed/new/alpha.txt")), BytesOf("alpha\n"));
  std::filesystem::create_directories(dir.Path("browsed"));
  app.answers.folder = dir.Path("browsed").wstring();
  extractInto([&](HWND dialog) {
    EXPECT_EQ(ItemText(dialog, IDC_EXTRACT_FOLDER), (dir.Path("typed") / "new").wstring());  // the last one
    SendMessageW(dialog, WM_COMMAND, IDC_EXTRACT_BROWSE, 0);
    EXPECT_EQ(app.answers.lastFolderCaption, L"Copy Items");
    EXPECT_EQ(ItemText(dialog, IDC_EXTRACT_FOLDER), dir.Path("browsed").wstring());
  }, IDOK);
  EXPECT_EQ(ReadBytes(dir.Path("browsed/alpha.txt")), BytesOf("alpha\n"));
  for (const auto& [command, folder] : {std::pair<UINT, const char*>{CMD_ROW_EXTRACT_HERE, "."}, {CMD_ROW_EXTRACT_TO, "sample"}}) {
    ASSERT_TRUE(app.Run(command));
    ASSERT_TRUE(app.WaitIdle());
    EXPECT_EQ(ReadBytes(dir.Path(folder) / "alpha.txt"), BytesOf("alpha\n")) << folder;
    EXPECT_TRUE(std::filesystem::exists(dir.Path(folder) / "docs" / "notes.md")) << folder;
  }
}

// Members dragged out: extracted into a temporary folder first, handed over as files with
// their bytes (a folder member's file inside its folder), the folder gone with the program.
TEST_F(UiEdit, DraggedOutMembersAreCarriedAsExtractedFiles) {
  Open(Copy("sample.tar"));  // alpha.txt, numbers.txt, docs/notes.md
  Select({0, 2});
  NMLISTVIEW drag{};
  drag.hdr = {app.List(), IDC_LIST_VIEW, static_cast<UINT>(LVN_BEGINDRAG)};
  SendMessageW(app.main, WM_NOTIFY, IDC_LIST_VIEW, reinterpret_cast<LPARAM>(&drag));
  ASSERT_TRUE(WaitUntil([&] { return app.Finished() && app.WaitIdle() && DragOutData() != nullptr; }, 30000));
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  ASSERT_EQ(DragOutData()->GetData(&format, &medium), S_OK);
  auto drop = static_cast<HDROP>(medium.hGlobal);
  std::vector<std::filesystem::path> paths;
  for (UINT i = 0; i < DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); ++i) {
    wchar_t path[MAX_PATH];
    DragQueryFileW(drop, i, path, MAX_PATH);
    paths.push_back(path);
  }
  ReleaseStgMedium(&medium);
  std::sort(paths.begin(), paths.end());
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0].filename(), L"alpha.txt");
  EXPECT_EQ(paths[1].filename(), L"docs");
  EXPECT_EQ(ReadBytes(paths[0]), ReadBytes(Fixture("src/alpha.txt")));
  EXPECT_EQ(ReadBytes(paths[1] / "notes.md"), ReadBytes(Fixture("src/docs/notes.md")));
  EXPECT_FALSE(std::filesystem::exists(paths[1].parent_path() / "numbers.txt"));  // not selected
  ASSERT_TRUE(app.Stop());
  EXPECT_FALSE(std::filesystem::exists(paths[0].parent_path()));
}
}  // namespace
