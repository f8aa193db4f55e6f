// Opening archives of every format: from the command line and from the Open dialog.
#include <gtest/gtest.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
class UiOpen : public UiTest {};

struct FormatCase {
  std::filesystem::path archive;
  const wchar_t* title;
  const wchar_t* lastHeading;
  std::vector<std::wstring> names;  // in archive order
};

TEST_F(UiOpen, EachFormatShowsItsRowsTitleAndHeadingFromTheCommandLine) {
  ScratchDir dir;
  Bytes qbx;
  AppendQbxMember(qbx, {"b.txt", BytesOf("bee")});
  AppendQbxMember(qbx, {"a.txt", BytesOf("ay")});
  WriteBytes(dir.Path("two.qbx"), qbx);
  const FormatCase cases[] = {
      {dir.Path("two.qbx"), L"two.qbx", L"Attributes", {L"b.txt", L"a.txt"}},
      {Fixture("sample.tar"), L"sample.tar", L"Mode", {L"alpha.txt", L"numbers.txt", L"docs/notes.md"}},
      {Fixture("sample.zip"), L"sample.zip", L"Method", {L"alpha.txt", L"numbers.txt", L"docs/", L"docs/notes.md"}},
      {Fixture("book.epub"), L"book.epub", L"Method", {L"alpha.txt"}},
      {Fixture("numbers.txt.gz"), L"numbers.txt.gz", L"Method", {L"numbers.txt"}},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.archive.string());
    UiApp app;
    ASSERT_TRUE(app.Start(L"\"" + WidePath(c.archive) + L"\""));
    EXPECT_EQ(app.Title(), c.title);
    EXPECT_EQ(app.Heading(5), c.lastHeading);
    EXPECT_EQ(app.Column(0), c.names);
    size_t rows = c.names.size();
    EXPECT_EQ(app.StatusPart(0), L" " + std::to_wstring(rows) + (rows == 1 ? L" item" : L" items"));
    EXPECT_FALSE(app.StatusPart(1).empty());
    EXPECT_TRUE(app.Stop());
  }
}

TEST_F(UiOpen, TheCommandLineIsOnePathQuotedOrNot) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.Path("with space"));
  std::filesystem::copy_file(Fixture("sample.tar"), dir.Path("with space/my archive.tar"));
  std::wstring path = WidePath(dir.Path("with space/my archive.tar"));
  const std::wstring lines[] = {L"\"" + path + L"\" ignored after the quote", path};
  for (const std::wstring& line : lines) {
    UiApp app;
    ASSERT_TRUE(app.Start(line));
    EXPECT_EQ(app.Title(), L"my archive.tar");
    EXPECT_EQ(app.RowCount(), 3);
    EXPECT_TRUE(app.Stop());
  }
}

TEST_F(UiOpen, NoCommandLineStartsEmptyAndTheOpenDialogOpensTheChosenArchive) {
  UiApp app;
  ASSERT_TRUE(app.Start());
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.StatusPart(0), L"");
  EXPECT_EQ(app.StatusPart(1), L"");
  EXPECT_EQ(app.MenuState(0, CMD_CLOSE_ARCHIVE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));

  Answers().file = WidePath(Fixture("sample.zip"));
  ASSERT_TRUE(app.Run(CMD_OPEN_ARCHIVE));
  EXPECT_EQ(app.Title(), L"sample.zip");
  EXPECT_EQ(app.RowCount(), 4);
  EXPECT_EQ(app.MenuState(0, CMD_CLOSE_ARCHIVE) & MF_GRAYED, 0u);
  // ZIP is read-only: nothing can be added.
  EXPECT_EQ(app.MenuState(0, CMD_ADD_FILE) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(app.MenuState(0, CMD_TEST) & MF_GRAYED, 0u);

  // A cancelled picker changes nothing; a second archive replaces the first.
  ASSERT_TRUE(app.Run(CMD_OPEN_ARCHIVE));
  EXPECT_EQ(app.Title(), L"sample.zip");
  Answers().file = WidePath(Fixture("sample.tar"));
  ASSERT_TRUE(app.Run(CMD_OPEN_ARCHIVE));
  EXPECT_EQ(app.Title(), L"sample.tar");
  EXPECT_EQ(app.RowCount(), 3);

  ASSERT_TRUE(app.Run(CMD_CLOSE_ARCHIVE));
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.Heading(5), L"Attributes");
  EXPECT_EQ(app.StatusPart(0), L"");
  EXPECT_TRUE(app.Stop());
}

TEST_F(UiOpen, AFileThatIsNoArchiveShowsTheMessageAndLeavesTheListEmpty) {
  ScratchDir dir;
  WriteBytes(dir.Path("plain.txt"), BytesOf(std::string(2000, 'x')));
  UiApp app;
  ASSERT_TRUE(app.Start());
  Answers().file = WidePath(dir.Path("plain.txt"));
  app.Command(CMD_OPEN_ARCHIVE);
  HWND error = app.WaitMessageDialog();
  ASSERT_NE(error, nullptr);
  EXPECT_FALSE(ItemText(error, IDC_MESSAGE).empty());
  Press(error, IDOK);
  ASSERT_TRUE(app.WaitFinished());
  EXPECT_EQ(app.Title(), L"Quillbox");
  EXPECT_EQ(app.RowCount(), 0);
  EXPECT_EQ(app.State()->ArchivePath[0], 0);
  EXPECT_TRUE(app.Stop());
}
}  // namespace
