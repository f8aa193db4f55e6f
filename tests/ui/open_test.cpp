// Opening archives of every format: from the command line and from the Open dialog.
#include <gtest/gtest.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "ui_driver.h"

namespace {
struct FormatCase {
  const char* what;
  const char* archive;  // a fixture; empty for a QBX made here
  const wchar_t* lastHeading;
  std::vector<std::wstring> names;  // in archive order
};
const FormatCase kFormats[] = {
    {"qbx", "", L"Attributes", {L"b.txt", L"a.txt"}},
    {"tar", "sample.tar", L"Mode", {L"alpha.txt", L"numbers.txt", L"docs/notes.md"}},
    {"zip", "sample.zip", L"Method", {L"alpha.txt", L"numbers.txt", L"docs/", L"docs/notes.md"}},
    {"epub", "book.epub", L"Method", {L"alpha.txt"}},
    {"gz", "numbers.txt.gz", L"Method", {L"numbers.txt"}},
};
class UiOpenFormat : public UiTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(UiOpenFormat, ShowsItsRowsTitleAndHeadingFromTheCommandLine) {
  const FormatCase& c = GetParam();
  std::filesystem::path archive = Fixture(c.archive);
  if (*c.archive == 0) {
    Bytes qbx;
    AppendQbxMember(qbx, {"b.txt", BytesOf("bee")});
    AppendQbxMember(qbx, {"a.txt", BytesOf("ay")});
    WriteBytes(archive = dir.Path("two.qbx"), qbx);
  }
  Restart(L"\"" + WidePath(archive) + L"\"");
  EXPECT_EQ(app.Title(), WidePath(archive.filename()));
  EXPECT_EQ(app.Heading(5), c.lastHeading);
  EXPECT_EQ(app.Column(0), c.names);
  const size_t rows = c.names.size();
  EXPECT_EQ(app.StatusPart(0), L" " + std::to_wstring(rows) + (rows == 1 ? L" item" : L" items"));
  EXPECT_FALSE(app.StatusPart(1).empty());
}
INSTANTIATE_TEST_SUITE_P(UiOpen, UiOpenFormat, testing::ValuesIn(kFormats), CaseName());

using UiOpen = UiTest;

TEST_F(UiOpen, NoCommandLineStartsEmptyAndTheOpenDialogOpensTheChosenArchive) {
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.StatusPart(0), L"");
  EXPECT_EQ(app.MenuState(0, CMD_CLOSE_ARCHIVE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  Open(Fixture("sample.zip"));
  EXPECT_EQ(app.Title(), L"sample.zip");
  EXPECT_EQ(app.MenuState(0, CMD_CLOSE_ARCHIVE) & MF_GRAYED, 0u);
  EXPECT_EQ(app.MenuState(0, CMD_ADD_FILE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));  // ZIP is read-only
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
  app.answers.file = WidePath(dir.Path("plain.txt"));
  app.Command(CMD_OPEN_ARCHIVE);
  HWND error = app.WaitMessageDialog();
  ASSERT_NE(error, nullptr);
  EXPECT_FALSE(ItemText(error, IDC_MESSAGE).empty());
  Press(error, IDOK);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.State()->ArchivePath[0], 0);
}
}  // namespace
