// Opening archives from the command line and from the Open dialog. What the listings hold is
// the core's and the jobs' tests; here, that the window shows them.
#include <gtest/gtest.h>

#include "app/resource_ids.h"
#include "support/case_name.h"
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
}  // namespace
