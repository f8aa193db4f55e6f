// Opening archives from the command line and from the Open dialog, a TAR inside gzip, and the
// question an incomplete last member asks. What the listings hold and which ends are cut is
// the core's and the jobs' tests; here, that the window shows them, asks and obeys.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "ui_driver.h"

namespace {
struct FormatCase { const char* what; const char* archive; const wchar_t* lastHeading; int rows; };
const FormatCase kFormats[] = {
    {"tar", "sample.tar", L"Mode", 3},
    {"zip", "sample.zip", L"Method", 4},
    {"gz", "numbers.txt.gz", L"Method", 1},
};
class UiOpenFormat : public UiTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(UiOpenFormat, ShowsItsRowsTitleAndHeadingFromTheCommandLine) {
  const FormatCase& c = GetParam();
  Restart(L"\"" + Fixture(c.archive).wstring() + L"\"");
  EXPECT_EQ(app.Title(), Fixture(c.archive).filename().wstring());
  EXPECT_EQ(app.Heading(5), c.lastHeading);
  EXPECT_EQ(app.RowCount(), c.rows);
}
INSTANTIATE_TEST_SUITE_P(UiOpen, UiOpenFormat, testing::ValuesIn(kFormats), CaseName());

using UiOpen = UiTest;

TEST_F(UiOpen, NoCommandLineStartsEmptyAndTheOpenDialogOpensTheChosenArchive) {
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.MenuState(0, CMD_CLOSE_ARCHIVE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  Open(Fixture("sample.zip"));
  EXPECT_EQ(app.Title(), L"sample.zip");
  EXPECT_EQ(app.MenuState(0, CMD_CLOSE_ARCHIVE) & MF_GRAYED, 0u);
  EXPECT_EQ(app.MenuState(0, CMD_ADD_FILE) & MF_GRAYED, 0u);  // a ZIP that ends as ours do grows
  EXPECT_EQ(app.MenuState(0, CMD_TEST) & MF_GRAYED, 0u);
  // A cancelled picker changes nothing; a second archive replaces the first.
  ASSERT_TRUE(app.Run(CMD_OPEN_ARCHIVE));
  EXPECT_EQ(app.Title(), L"sample.zip");
  Open(Fixture("sample.tar"));
  EXPECT_EQ(app.Title(), L"sample.tar");
  EXPECT_EQ(app.RowCount(), 3);
  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.Heading(5), L"Attributes");
  EXPECT_EQ(app.StatusPart(0), L"");
}

TEST_F(UiOpen, AFileThatIsNoArchiveShowsTheMessageAndLeavesTheListEmpty) {
  WriteBytes(dir.Path("plain.txt"), BytesOf(std::string(2000, 'x')));
  app.answers.file = dir.Path("plain.txt").wstring();
  app.Command(CMD_OPEN_ARCHIVE);
  HWND error = app.WaitMessageDialog();
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(TextOf(error), L"Open Error");
  EXPECT_EQ(ItemText(error, IDC_MESSAGE), L"The file cannot be opened as an archive.");
  Press(error, IDOK);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.State()->ArchivePath[0], 0);
}

// A TAR inside gzip in the window: its members, read-only, said in the title and status
// bar, and the gzip file itself one command away.
using UiTarGz = UiTest;

TEST_F(UiTarGz, ListsTheTarAndOpensTheGzipOnRequest) {
  Open(Copy("sample.tgz"));
  EXPECT_EQ(app.Column(0), (std::vector<std::wstring>{L"alpha.txt", L"numbers.txt", L"docs/notes.md"}));
  EXPECT_EQ(app.Title(), L"sample.tgz (compressed TAR)");
  EXPECT_NE(app.StatusPart(0).find(L"(compressed TAR)"), std::wstring::npos);
  EXPECT_EQ(app.Heading(5), L"Mode");
  EXPECT_EQ(app.MenuState(0, CMD_ADD_FILE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(app.MenuState(0, CMD_OPEN_OUTER) & MF_GRAYED, 0u);

  ASSERT_TRUE(app.Run(CMD_OPEN_OUTER));
  ASSERT_TRUE(WaitUntil([&] { return app.RowCount() == 1; }));
  EXPECT_EQ(app.Cell(0, 0), L"sample.tar");
  EXPECT_EQ(app.Title(), L"sample.tgz");
  EXPECT_EQ(app.MenuState(0, CMD_OPEN_OUTER) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
}

// The question after opening an archive whose last member an interrupted add left
// incomplete.
struct AnswerCase { const char* what; int button; int rows; bool cut; };  // cut: and writable again
const AnswerCase kAnswers[] = {
    {"yes cuts the member away", IDOK, 1, true},
    {"no keeps the archive read only", IDCANCEL, 2, false},
};

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
  app.Command(CMD_OPEN_ARCHIVE);
  HWND question = app.WaitDialog(L"Incomplete Member");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(ItemText(question, IDC_MESSAGE),
            L"The last member, big.bin, is incomplete: 2 KB of 99 KB were written. Its add was "
            L"interrupted, and while it is there the archive cannot be changed.\r\n\r\nCut the incomplete member away?");
  Press(question, c.button);
  ASSERT_TRUE(app.WaitFinished());
  ASSERT_TRUE(app.WaitIdle());
  EXPECT_EQ(app.RowCount(), c.rows);
  EXPECT_EQ(app.MenuState(0, CMD_ADD_FILE) & MF_GRAYED, c.cut ? 0u : static_cast<UINT>(MF_GRAYED));
  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  EXPECT_EQ(ReadBytes(dir.Path("torn.tar")), c.cut ? Joined({kept, Bytes(1024, 0)}) : before);
}
INSTANTIATE_TEST_SUITE_P(UiRepair, UiRepair, testing::ValuesIn(kAnswers), CaseName());
}  // namespace
