// The main window: opening archives from the command line and the Open dialog, a TAR inside
// gzip, the question an incomplete last member asks, commands whose conditions fail; the
// layout (DPI changes, minimising, dialogs kept on screen), what start-up takes from the
// command line and the screen size, and what the window keeps from one run to the next.
// What the listings hold and which ends are cut is the core's and the jobs' tests.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/resource_ids.h"
#include "app/start_values.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "ui_driver.h"

namespace {
using UiWindow = UiTest;

// Each archive replaces the one before; the command line opens them the same way (the edit
// tests restart with one).
TEST_F(UiWindow, TheOpenDialogOpensTheChosenArchiveAndRefusesAFileThatIsNone) {
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_TRUE(app.Grayed(0, CMD_CLOSE_ARCHIVE));
  const std::tuple<const char*, const wchar_t*, int> formats[] = {
      {"numbers.txt.gz", L"Method", 1}, {"sample.tar", L"Mode", 3}, {"sample.zip", L"Method", 4}};
  for (const auto& [archive, lastHeading, rows] : formats) {
    Open(Fixture(archive));
    EXPECT_EQ(app.Title(), Fixture(archive).filename().wstring());
    EXPECT_EQ(app.Heading(5), lastHeading);
    EXPECT_EQ(app.RowCount(), rows);
  }
  for (UINT command : {CMD_CLOSE_ARCHIVE, CMD_ADD_FILE /* a ZIP that ends as ours do grows */, CMD_TEST})
    EXPECT_FALSE(app.Grayed(0, command)) << command;
  ASSERT_TRUE(app.Run(CMD_OPEN_ARCHIVE));  // a cancelled picker changes nothing
  EXPECT_EQ(app.Title(), L"sample.zip");
  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.Heading(5), L"Attributes");
  EXPECT_EQ(app.StatusPart(0), L"");
  WriteBytes(dir.Path("plain.txt"), BytesOf(std::string(2000, 'x')));
  app.answers.file = dir.Path("plain.txt").wstring();
  app.Command(CMD_OPEN_ARCHIVE);
  HWND error = app.WaitMessageDialog();
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(ItemText(error, IDC_MESSAGE), L"The file cannot be opened as an archive.");
  EXPECT_EQ(app.DismissMessage(), L"Open Error");
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.State()->ArchivePath[0], 0);
}

// A TAR inside gzip: its members, read-only (commands that would change it do nothing), said
// in the title and status bar, and the gzip file itself one command away. With no archive,
// Extract and Test show no picker.
TEST_F(UiWindow, ACompressedTarIsReadOnlyAndItsGzipOneCommandAway) {
  Open(Copy("sample.tgz"));
  EXPECT_EQ(app.Column(0), (std::vector<std::wstring>{L"alpha.txt", L"numbers.txt", L"docs/notes.md"}));
  EXPECT_EQ(app.Title(), L"sample.tgz (compressed TAR)");
  EXPECT_NE(app.StatusPart(0).find(L"(compressed TAR)"), std::wstring::npos);
  EXPECT_EQ(app.Heading(5), L"Mode");
  EXPECT_TRUE(app.Grayed(0, CMD_ADD_FILE));
  app.answers.file = Fixture("sample.tar").wstring();
  app.answers.folder = dir.Path("anything").wstring();
  for (UINT command : {CMD_ADD_FILE, CMD_ADD_FOLDER, CMD_ROW_PREPEND, CMD_ROW_MODE_FIRST})  // nothing selected
    ASSERT_TRUE(app.Run(command));
  Select({0});
  for (UINT command : {CMD_ROW_TRIM_BASE + 1, CMD_ROW_DELETE}) ASSERT_TRUE(app.Run(command));
  EXPECT_EQ(app.Cell(0, 0), L"alpha.txt");
  EXPECT_EQ(app.RowCount(), 3);
  EXPECT_FALSE(app.Grayed(0, CMD_OPEN_OUTER));
  ASSERT_TRUE(app.Run(CMD_OPEN_OUTER));
  ASSERT_TRUE(WaitUntil([&] { return app.RowCount() == 1; }));
  EXPECT_EQ(app.Cell(0, 0), L"sample.tar");
  EXPECT_EQ(app.Title(), L"sample.tgz");
  EXPECT_TRUE(app.Grayed(0, CMD_OPEN_OUTER));
  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  for (UINT command : {CMD_EXTRACT, CMD_TEST}) ASSERT_TRUE(app.Run(command));
  EXPECT_EQ(app.answers.file, Fixture("sample.tar").wstring());  // no picker was shown
  EXPECT_EQ(app.answers.folder, dir.Path("anything").wstring());
}

// The question after opening an archive whose last member an interrupted add left incomplete.
struct AnswerCase { const char* what; int button; int rows; bool cut; };  // cut: and writable again
const AnswerCase kAnswers[] = {{"yes cuts the member away", IDOK, 1, true}, {"no keeps the archive read only", IDCANCEL, 2, false}};
class UiRepair : public UiTest, public testing::WithParamInterface<AnswerCase> {};

TEST_P(UiRepair, OpeningAnArchiveWithAnIncompleteLastMemberAsksToCutIt) {
  const AnswerCase& c = GetParam();
  Bytes kept, torn;
  AppendTarMember(kept, {"a.txt", 5}, BytesOf("hello"));
  AppendTarMember(torn, {"big.bin", 100000}, Pattern(100000));
  torn.resize(512 + 2000);
  const Bytes before = Joined({kept, torn});
  WriteBytes(dir.Path("torn.tar"), before);
  app.answers.file = dir.Path("torn.tar").wstring();
  HWND question = app.Ask(CMD_OPEN_ARCHIVE, L"Incomplete Member");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(ItemText(question, IDC_MESSAGE),
            L"The last member, big.bin, is incomplete: 2 KB of 99 KB were written. Its add was "
            L"interrupted, and while it is there the archive cannot be changed.\r\n\r\nCut the incomplete member away?");
  ASSERT_TRUE(app.Close(question, c.button));
  ASSERT_TRUE(app.WaitIdle());
  EXPECT_EQ(app.RowCount(), c.rows);
  EXPECT_EQ(app.Grayed(0, CMD_ADD_FILE), !c.cut);
  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  EXPECT_EQ(ReadBytes(dir.Path("torn.tar")), c.cut ? Joined({kept, Bytes(1024, 0)}) : before);
}
INSTANTIATE_TEST_SUITE_P(UiRepair, UiRepair, testing::ValuesIn(kAnswers), CaseName());

// A DPI change rescales the columns and keeps the window's size (below 96 counts as 96);
// minimising (a client of 0 x 0) keeps the list's size.
TEST_F(UiWindow, ADpiChangeRescalesTheColumnsAndMinimisingKeepsTheList) {
  auto widths = [&] {
    std::vector<int> w;
    for (int i = 0; i < 6; ++i) w.push_back(ListView_GetColumnWidth(app.List(), i));
    return w;
  };
  const std::vector<int> before = widths();
  RECT window{}, now{}, suggested{0, 0, 10, 10}, client{}, list{};
  GetWindowRect(app.main, &window);
  const UINT dpi = app.State()->Dpi;
  SendMessageW(app.main, WM_DPICHANGED, MAKEWPARAM(dpi * 2, dpi * 2), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(app.State()->Dpi, dpi * 2);
  const std::vector<int> after = widths();
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i] * 2);
  GetWindowRect(app.main, &now);
  EXPECT_EQ(now.right - now.left, window.right - window.left);
  SendMessageW(app.main, WM_DPICHANGED, MAKEWPARAM(48, 48), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(app.State()->Dpi, 96u);
  GetClientRect(app.main, &client);
  SendMessageW(app.main, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  GetWindowRect(app.List(), &list);
  SendMessageW(app.main, WM_SIZE, SIZE_MINIMIZED, 0);
  GetWindowRect(app.List(), &now);
  EXPECT_EQ(now.right - now.left, list.right - list.left);
  EXPECT_EQ(now.bottom - now.top, list.bottom - list.top);
}

TEST_F(UiWindow, AboutOverAWindowOffTheScreenIsPulledBackIntoTheWorkArea) {
  RECT work{}, r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(app.main, nullptr, work.right - 60, work.bottom - 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  HWND about = app.Ask(CMD_ABOUT, L"About");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(ItemText(about, IDC_ABOUT_TEXT).substr(0, 26), L"Quillbox\r\nArchive Manager\r");
  EXPECT_FALSE(ItemText(about, IDC_ABOUT_LINK).empty());
  GetWindowRect(about, &r);
  EXPECT_LE(r.right, work.right);
  EXPECT_LE(r.bottom, work.bottom);
  ASSERT_TRUE(app.Close(about));
}

TEST(StartValues, TheCommandLineIsOnePath) {
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'x');
  const std::u16string cut(longPath.begin(), longPath.begin() + 259);
  const std::pair<std::wstring, std::u16string> cases[] = {
      {L"", u""}, {L"C:\\a b\\c.tar", u"C:\\a b\\c.tar"}, {L"\"C:\\a b\\c.tar\"", u"C:\\a b\\c.tar"},
      {L"\"C:\\a b\\c.tar\" --flag d.zip", u"C:\\a b\\c.tar"}, {L"C:\\x.zip\"tail", u"C:\\x.zip"},
      {longPath, cut}, {L"\"" + longPath + L"\"", cut}};
  for (const auto& [arguments, path] : cases) {
    char16_t out[260];
    CommandLinePath(arguments.c_str(), out);
    EXPECT_EQ(std::u16string(out), path);
  }
}

TEST(StartValues, TheWindowTakesTheScreensSmallerSideWithinLimits) {
  struct Case { int32_t screenWidth, screenHeight; uint32_t dpi; int32_t width, height; } cases[] = {
      {1920, 1080, 96, 1080, 548}, {800, 600, 96, 600, 304}, {3840, 2160, 96, 1920, 975},
      {640, 480, 96, 512, 260},    {480, 1000, 96, 512, 260}, {2000, 2000, 96, 1920, 975},
      // 150 %: wide enough for every column (1365 pixels), within the screen.
      {1920, 1080, 144, 1620, 822}, {1280, 720, 144, 1080, 547}, {3840, 2160, 144, 2880, 1462},
      {640, 480, 144, 640, 390}};
  for (const Case& c : cases) {
    const WindowSize size = InitialWindowSize(c.screenWidth, c.screenHeight, c.dpi);
    EXPECT_EQ(std::make_pair(size.width, size.height), std::make_pair(c.width, c.height)) << c.screenWidth << "x" << c.screenHeight;
  }
}

// What the window keeps from one run to the next: the last archives in the File menu, newest
// first (a missing one leaves it when chosen), its place and size, column widths, sort order.
TEST_F(UiWindow, RecentArchivesPlaceColumnsAndSortComeBack) {
  auto recent = [&] {  // as the File menu shows them when it opens
    std::vector<std::wstring> items;
    app.MenuState(0, CMD_OPEN_ARCHIVE);
    for (UINT id = CMD_RECENT_FIRST; id <= CMD_RECENT_LAST; ++id) {
      wchar_t text[MAX_PATH + 8] = {};
      if (GetMenuStringW(GetSubMenu(GetMenu(app.main), 0), id, text, MAX_PATH + 8, MF_BYCOMMAND) > 0) items.push_back(text);
    }
    return items;
  };
  const std::filesystem::path tar = Copy("sample.tar"), zip = Copy("sample.zip");
  EXPECT_TRUE(recent().empty());
  for (const auto& archive : {tar, zip, tar}) Open(archive);
  SetWindowPos(app.main, nullptr, 40, 30, 900, 500, SWP_NOZORDER | SWP_NOACTIVATE);
  ListView_SetColumnWidth(app.List(), 0, 210);
  ASSERT_TRUE(app.Run(CMD_SORT_NAME + 3));  // size
  RECT before{}, after{};
  GetWindowRect(app.main, &before);
  Restart();
  GetWindowRect(app.main, &after);
  EXPECT_TRUE(EqualRect(&after, &before));
  EXPECT_EQ(ListView_GetColumnWidth(app.List(), 0), 210);
  EXPECT_TRUE(app.MenuState(2, CMD_SORT_NAME + 3) & MF_CHECKED);
  EXPECT_EQ(recent(), (std::vector<std::wstring>{L"&1 " + tar.wstring(), L"&2 " + zip.wstring()}));
  ASSERT_TRUE(app.Run(CMD_RECENT_FIRST + 1));
  ASSERT_TRUE(app.WaitIdle());
  EXPECT_EQ(app.Title(), L"sample.zip");
  std::filesystem::remove(tar);
  app.Command(CMD_RECENT_FIRST + 1);
  EXPECT_EQ(app.DismissMessage(), L"Open Error");
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(recent(), (std::vector<std::wstring>{L"&1 " + zip.wstring()}));
}
}  // namespace
