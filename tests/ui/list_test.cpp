// The member list: sorting by every column, the Sort menu's check marks, selection
// tracking and the status bar's texts; a hundred thousand members; names past Windows' 260
// characters and not ASCII.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/make_link.h"
#include "ui_driver.h"

namespace {
using Names = std::vector<std::wstring>;

class UiList : public UiTest {
 protected:
  // Three QBX members with distinct names, times and sizes, in this archive order.
  void SetUp() override {
    UiTest::SetUp();
    WriteBytes(dir.Path("three.qbx"), QbxBytes({{"b.txt", Bytes(1000, 'b'), 132000000000000000ULL, 0x20},
                                                {"A.md", Bytes(500, 'a'), 133000000000000000ULL, 0x21},
                                                {"c.bin", Bytes(3000, 'c'), 131000000000000000ULL, 0x22}}));
    Open(dir.Path("three.qbx"));
  }
  void ClickHeading(int column) {
    NMLISTVIEW click{};
    click.hdr = {app.List(), IDC_LIST_VIEW, static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(app.main, WM_NOTIFY, IDC_LIST_VIEW, reinterpret_cast<LPARAM>(&click));
  }
  UINT CheckedSortItem() {
    for (UINT id = CMD_SORT_NAME; id <= CMD_SORT_UNSORTED; ++id)
      if (app.MenuState(2, id) & MF_CHECKED) return id;
    return 0;
  }
};

Names Reversed(const Names& names) { return Names(names.rbegin(), names.rend()); }

// Each sort twice gives the order and then its reverse, from the menu or a column's heading;
// the last column's heading sorts too, with no menu item to check.
TEST_F(UiList, SortsFromTheMenuAndTheHeadings) {
  const std::pair<UINT, Names> cases[] = {
      {CMD_SORT_NAME, {L"A.md", L"b.txt", L"c.bin"}},
      {CMD_SORT_NAME + 1, {L"A.md", L"b.txt", L"c.bin"}},  // newest first
      {CMD_SORT_NAME + 3, {L"c.bin", L"b.txt", L"A.md"}},  // largest first
      {CMD_SORT_NAME + 4, {L"c.bin", L"b.txt", L"A.md"}},
      {CMD_SORT_UNSORTED, {L"b.txt", L"A.md", L"c.bin"}},  // archive order
  };
  EXPECT_EQ(CheckedSortItem(), static_cast<UINT>(CMD_SORT_UNSORTED));
  for (const auto& [command, order] : cases) {
    ASSERT_TRUE(app.Run(command));
    EXPECT_EQ(app.Column(0), order) << command;
    EXPECT_EQ(CheckedSortItem(), command);
    ASSERT_TRUE(app.Run(command));
    EXPECT_EQ(app.Column(0), Reversed(order)) << command;
  }
  // Type: the cells themselves must come in order, A to Z and then Z to A.
  ASSERT_TRUE(app.Run(CMD_SORT_NAME + 2));
  const Names types = app.Column(2);
  for (size_t i = 1; i < types.size(); ++i) EXPECT_LE(_wcsicmp(types[i - 1].c_str(), types[i].c_str()), 0);
  ASSERT_TRUE(app.Run(CMD_SORT_NAME + 2));
  EXPECT_EQ(app.Column(2), Reversed(types));
  ClickHeading(3);
  EXPECT_EQ(app.Column(0), (Names{L"c.bin", L"b.txt", L"A.md"}));
  ClickHeading(5);
  EXPECT_EQ(CheckedSortItem(), 0u);
  const Names last = app.Column(5);
  ASSERT_NE(last.front(), last.back());
  for (size_t i = 1; i < last.size(); ++i) EXPECT_GE(last[i - 1], last[i]);  // descending
  ClickHeading(5);
  EXPECT_EQ(app.Column(5), Reversed(last));
}

// Select All takes both sizes of every row (the texts for differing sizes: ListTexts.StatusBarParts).
TEST_F(UiList, SelectionCountsAndSizesReachTheStatusBarAndTypingFindsARow) {
  EXPECT_EQ(app.StatusPart(0), L" 3 items");
  EXPECT_EQ(app.StatusPart(1), L"4 KB");
  EXPECT_TRUE(app.Grayed(1, CMD_DESELECT_ALL));
  app.SelectRows({0, 2});  // b.txt and c.bin
  ASSERT_TRUE(WaitUntil([&] { return app.StatusPart(1) == L"2 selected  4 KB"; }));
  EXPECT_FALSE(app.Grayed(1, CMD_DESELECT_ALL));
  ASSERT_TRUE(app.Run(CMD_INVERT_SELECTION));
  EXPECT_EQ(app.StatusPart(1), L"1 selected  500 bytes");
  EXPECT_EQ(app.State()->CurrentRow, 1);
  ASSERT_TRUE(app.Run(CMD_SELECT_ALL));
  EXPECT_EQ(app.StatusPart(1), L"3 selected  4 KB");
  EXPECT_TRUE(app.Grayed(1, CMD_SELECT_ALL));
  ASSERT_TRUE(app.Run(CMD_DESELECT_ALL));
  EXPECT_EQ(app.StatusPart(1), L"4 KB");
  EXPECT_EQ(app.SelectedRow(), -1);
  // Typing in the list finds the next row whose name starts with the text, whatever the case.
  const std::tuple<const wchar_t*, UINT, int> finds[] = {
      {L"a", LVFI_STRING | LVFI_PARTIAL, 1}, {L"C.B", LVFI_STRING | LVFI_PARTIAL, 2}, {L"b.txt", LVFI_STRING, 0},
      {L"b.tx", LVFI_STRING, -1} /* a whole name, not its start */, {L"zz", LVFI_STRING | LVFI_PARTIAL, -1}};
  for (const auto& [text, flags, row] : finds) {
    LVFINDINFOW f{};
    f.flags = flags;
    f.psz = text;
    EXPECT_EQ(SendMessageW(app.List(), LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&f)), row) << text;
  }
  Open(Fixture("sample.zip"));
  ASSERT_TRUE(app.Run(CMD_SELECT_ALL));
  const ListTotals& t = app.State()->Totals;
  EXPECT_NE(t.RowSize, t.RowExtractedSize);
  EXPECT_EQ(t.SelectedSize, t.RowSize);
  EXPECT_EQ(t.SelectedExtractedSize, t.RowExtractedSize);
}

// A hundred thousand members in the window: listed, all selected and tested within the
// suite's usual time (the list holds the rows itself and asks no row per member). The
// times are printed for the record; the benchmarks judge them.
constexpr int kMembers = 100000;

double WorkingSetMiB() {
  PROCESS_MEMORY_COUNTERS c{};
  c.cb = sizeof c;
  return K32GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c) ? c.WorkingSetSize / 1048576.0 : 0;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class UiBigArchive : public UiTest {
 protected:
  // Runs Test to its verdict and closes the dialog; the time it took, or -1.
  double TestSeconds() {
    const auto start = std::chrono::steady_clock::now();
    HWND progress = app.Ask(CMD_TEST, L"Testing");
    const bool passed = progress != nullptr && WaitUntil([&] {
      return ItemText(progress, IDC_STATUS) == L"Test completed. There are no errors.";
    }, 120000);
    const double seconds = SecondsSince(start);
    EXPECT_TRUE(passed);
    EXPECT_TRUE(progress != nullptr && app.Close(progress));
    return passed ? seconds : -1;
  }
};

TEST_F(UiBigArchive, ListsSelectsAllAndTests) {
  Bytes tar;
  tar.reserve(static_cast<size_t>(kMembers) * 1024 + 1024);
  char name[32];
  for (int i = 0; i < kMembers; ++i) {
    std::snprintf(name, sizeof name, "dir%03d/m%06d.txt", i / 1000, i);
    AppendTarMember(tar, {name, 1}, BytesOf("x"));
  }
  AppendZeroBlocks(tar, 2);
  WriteBytes(dir.Path("big.tar"), tar);
  tar = Bytes();
  const double before = WorkingSetMiB();
  auto start = std::chrono::steady_clock::now();
  Open(dir.Path("big.tar"));
  const double opened = SecondsSince(start), rowsMiB = WorkingSetMiB() - before;
  ASSERT_EQ(app.RowCount(), kMembers);
  EXPECT_EQ(app.Cell(kMembers - 1, 0), L"dir099/m099999.txt");
  start = std::chrono::steady_clock::now();
  ASSERT_TRUE(app.Run(CMD_SELECT_ALL));
  ASSERT_TRUE(WaitUntil([&] { return app.State()->Totals.SelectedCount == kMembers; }));
  const double selected = SecondsSince(start), testedSelected = TestSeconds();
  ASSERT_TRUE(app.Run(CMD_DESELECT_ALL));
  ASSERT_EQ(app.State()->Totals.SelectedCount, 0u);
  const double testedAll = TestSeconds();
  std::printf("100 000 members: opened in %.2f s (%.1f MiB more), all selected in %.2f s, "
              "tested in %.2f s with every row selected and %.2f s with none\n",
              opened, rowsMiB, selected, testedSelected, testedAll);
}

// Names past Windows' 260 characters and not ASCII, as the independent tools wrote them
// (tests/fixtures/name_fixtures.sh, in the UI fixtures' names/), shown whole in the list and
// written whole by Extract (Windows reaches such paths only in their long form); and the
// progress dialog's count of what a job left out for a link on the disk. Decoding names is
// the core's test, leaving links out the jobs'.
std::filesystem::path LongForm(const std::filesystem::path& path) {
  return L"\\\\?\\" + std::filesystem::absolute(path).make_preferred().wstring();
}

struct NameCase { const char* what; const char* archive; };
const NameCase kNameCases[] = {
    {"gnu tar pax", "pax.tar"}, {"info zip", "infozip.zip"},
};
class UiLongNames : public UiTest, public testing::WithParamInterface<NameCase> {};

TEST_P(UiLongNames, TheListAndExtractKeepTheWholePaths) {
  const std::filesystem::path names = Fixture("names");
  Names files;  // as the fixture script listed them, one UTF-8 path a line
  std::ifstream list(names / "files.txt");
  for (std::string line; std::getline(list, line);) files.push_back(Utf8Path(line).wstring());
  ASSERT_EQ(files.size(), 3u);
  Open(names / GetParam().archive);
  Names listed = app.Column(0);
  std::sort(files.begin(), files.end());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, files);
  std::filesystem::create_directories(dir.Path("out"));
  app.answers.folder = dir.Path("out").wstring();
  ASSERT_TRUE(app.Run(CMD_EXTRACT));
  for (const std::wstring& file : files)
    EXPECT_EQ(ReadBytes(LongForm(dir.Path("out") / file)), ReadBytes(LongForm(names / "src" / file))) << file;
}
INSTANTIATE_TEST_SUITE_P(UiNames, UiLongNames, testing::ValuesIn(kNameCases), CaseName());

// A job that meets a link to the folder "elsewhere": Add Folder of a tree holding one, or
// Extract of a member whose path runs through one in the destination.
struct LeftOutCase { const char* what; bool extract; const wchar_t *progressTitle, *status; };
const LeftOutCase kLeftOutCases[] = {
    {"add folder skips a folder link", false, L"Adding", L"1 item skipped: links, devices and pipes are not added."},
    {"extract writes nothing through a link", true, L"Extracting", L"Extraction failed. 1 member was not extracted."},
};
class UiLeftOut : public UiTest, public testing::WithParamInterface<LeftOutCase> {
 protected:
  TestLinks links;  // after the scratch folder: the links go first
};

TEST_P(UiLeftOut, TheProgressDialogStaysOpenWithTheCount) {
  const LeftOutCase& c = GetParam();
  std::filesystem::create_directories(dir.Path("elsewhere"));
  const std::filesystem::path folder = dir.Path(c.extract ? "out" : "tree");
  std::filesystem::create_directories(folder);
  WriteBytes(folder / "plain.txt", BytesOf("plain"));
  ASSERT_TRUE(links.Make(dir.Path("elsewhere"), folder / "link"));
  if (c.extract) {
    OpenBytes("planted.tar", TarBytes({{{"link/planted.txt", 7}, BytesOf("planted")}}));
  } else {
    app.answers.newArchive = dir.Path("new.qbx").wstring();
    ASSERT_TRUE(app.Run(CMD_NEW_ARCHIVE));
  }
  app.answers.folder = folder.wstring();
  HWND progress = app.Ask(c.extract ? CMD_EXTRACT : CMD_ADD_FOLDER, c.progressTitle);
  ASSERT_NE(progress, nullptr);
  if (c.extract) {
    EXPECT_EQ(app.DismissMessage(), L"Extraction Error");
  }
  EXPECT_TRUE(WaitUntil([&] { return ItemText(progress, IDC_STATUS) == c.status; })) << ItemText(progress, IDC_STATUS);
  Sleep(300);
  EXPECT_FALSE(app.Finished());  // open until closed
  EXPECT_EQ(ItemText(progress, IDCANCEL), L"Close");
  ASSERT_TRUE(app.Close(progress));
}
INSTANTIATE_TEST_SUITE_P(UiNames, UiLeftOut, testing::ValuesIn(kLeftOutCases), CaseName());
}  // namespace
