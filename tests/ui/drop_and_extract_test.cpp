// Files and folders dropped on the window (added, refused on an archive that cannot be
// changed, opened on a window without one), and extraction beside the archive without a picker.
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
#include "support/case_name.h"
#include "ui_driver.h"

namespace {
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

struct DropCase {
  const char* what;
  const char* archive;  // opened first; empty: none
  bool dropArchive;     // the drop is the archive itself, else a file and a folder of two
  int rows;             // after the drop
  const wchar_t* error; // the message shown, or null
};
class UiDrop : public UiTest, public testing::WithParamInterface<DropCase> {};

TEST_P(UiDrop, AddsOpensOrRefuses) {
  const DropCase& c = GetParam();
  std::filesystem::create_directories(dir.Path("tree/inner"));
  WriteBytes(dir.Path("one.txt"), BytesOf("one"));
  WriteBytes(dir.Path("tree/a.txt"), BytesOf("a"));
  WriteBytes(dir.Path("tree/inner/b.txt"), BytesOf("b"));
  const std::filesystem::path archive = Copy("sample.tar");
  if (c.archive[0] != 0) Open(std::string(c.archive) == "sample.tar" ? archive : Fixture(c.archive));
  Drop(app.main, c.dropArchive ? std::vector<std::filesystem::path>{archive}
                               : std::vector<std::filesystem::path>{dir.Path("one.txt"), dir.Path("tree")});
  if (c.error != nullptr) {
    HWND message = app.WaitMessageDialog();
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(TextOf(message), c.error);
    Press(message, IDOK);
  }
  EXPECT_TRUE(WaitUntil([&] { return app.RowCount() == c.rows && app.FindDialog(L"Save Error") == nullptr; }));
  EXPECT_TRUE(app.WaitIdle());
  EXPECT_EQ(app.RowCount(), c.rows);
}
INSTANTIATE_TEST_SUITE_P(UiDrop, UiDrop,
                         testing::Values(DropCase{"file and folder onto a TAR", "sample.tar", false, 3 + 3, nullptr},
                                         DropCase{"onto a compressed TAR", "sample.tgz", false, 3, L"Save Error"},
                                         DropCase{"an archive onto no archive", "", true, 3, nullptr}),
                         CaseName());
}  // namespace

namespace {
// Extract Here and Extract to "name\": no folder to pick, the archive's own folder or one
// named after it beside the archive.
struct BesideCase {
  const char* what;
  UINT command;
  const char* folder;  // below the scratch folder
};
class UiExtractBeside : public UiTest, public testing::WithParamInterface<BesideCase> {};

TEST_P(UiExtractBeside, WritesNextToTheArchive) {
  const BesideCase& c = GetParam();
  Open(Copy("sample.tar"));
  ASSERT_TRUE(app.Run(c.command));
  ASSERT_TRUE(app.WaitIdle());
  EXPECT_EQ(ReadBytes(dir.Path(c.folder) / "alpha.txt"), BytesOf("alpha\n"));
  EXPECT_TRUE(std::filesystem::exists(dir.Path(c.folder) / "docs" / "notes.md"));
}
INSTANTIATE_TEST_SUITE_P(UiExtractBeside, UiExtractBeside,
                         testing::Values(BesideCase{"here", CMD_ROW_EXTRACT_HERE, "."},
                                         BesideCase{"to its own folder", CMD_ROW_EXTRACT_TO, "sample"}),
                         CaseName());
}  // namespace

namespace {
// The Extract dialog itself: the archive's folder offered, Browse filling the edit, a typed
// folder made when missing, Cancel extracting nothing.
using UiExtractDialog = UiTest;

TEST_F(UiExtractDialog, TakesATypedOrBrowsedFolder) {
  const std::filesystem::path archive = Copy("sample.tar");
  Open(archive);
  UseExtractDialog();
  auto extractInto = [&](const std::function<void(HWND)>& answer, int button) {
    app.Command(CMD_EXTRACT);
    HWND dialog = app.WaitDialog(L"Extract");
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
}

// Members dragged out: extracted into a temporary folder first, handed over as files with
// their bytes (a folder member's file inside its folder), the folder gone with the program.
using UiDragOut = UiTest;
TEST_F(UiDragOut, CarriesTheExtractedFilesAsCfHdrop) {
  Open(Copy("sample.tar"));  // alpha.txt, numbers.txt, docs/notes.md
  Select({0, 2});
  NMLISTVIEW drag{};
  drag.hdr = {app.List(), IDC_LIST_VIEW, static_cast<UINT>(LVN_BEGINDRAG)};
  drag.iItem = 0;
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
