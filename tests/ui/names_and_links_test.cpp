// Names past Windows' 260 characters and not ASCII, as the independent tools wrote them
// (tests/fixtures/name_fixtures.sh, in the UI fixtures' names/), shown whole in the list and
// written whole by Extract; and the progress dialog's count of what a job left out for a
// link on the disk. Decoding names is the core's test, leaving links out the jobs'.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/make_link.h"
#include "ui_driver.h"

namespace {
using Names = std::vector<std::wstring>;

std::filesystem::path NameFixtures() { return Fixture("names"); }

// The tree's files as the fixture script listed them, one UTF-8 path a line.
Names SourceFiles() {
  Names files;
  std::ifstream list(NameFixtures() / "files.txt");
  for (std::string line; std::getline(list, line);)
    files.push_back(std::filesystem::path(std::u8string(line.begin(), line.end())).wstring());
  std::sort(files.begin(), files.end());
  return files;
}

// Windows reaches paths past MAX_PATH only in their long form.
std::filesystem::path LongForm(const std::filesystem::path& path) {
  return L"\\\\?\\" + std::filesystem::absolute(path).make_preferred().wstring();
}

Names SortedColumn(const UiApp& app) {
  Names cells = app.Column(0);
  std::sort(cells.begin(), cells.end());
  return cells;
}

struct NameCase { const char* what; const char* archive; };
const NameCase kNameCases[] = {
    {"gnu tar pax", "pax.tar"},
    {"gnu tar long name records", "gnu.tar"},
    {"info zip", "infozip.zip"},
    {"python zip", "python.zip"},
};
class UiLongNames : public UiTest, public testing::WithParamInterface<NameCase> {};

TEST_P(UiLongNames, TheListAndExtractKeepTheWholePaths) {
  const Names files = SourceFiles();
  ASSERT_EQ(files.size(), 3u);
  Open(NameFixtures() / GetParam().archive);
  EXPECT_EQ(SortedColumn(app), files);
  std::filesystem::create_directories(dir.Path("out"));
  app.answers.folder = dir.Path("out").wstring();
  ASSERT_TRUE(app.Run(CMD_EXTRACT));
  for (const std::wstring& file : files)
    EXPECT_EQ(ReadBytes(LongForm(dir.Path("out") / file)), ReadBytes(LongForm(NameFixtures() / "src" / file))) << file;
}
INSTANTIATE_TEST_SUITE_P(UiNames, UiLongNames, testing::ValuesIn(kNameCases), CaseName());

// A job that meets a link to the folder "elsewhere": Add Folder of a tree holding one, or
// Extract of a member whose path runs through one in the destination. What is left out and
// that nothing is followed: LinkSafety's job tests.
struct LeftOutCase {
  const char* what;
  bool extract;
  const wchar_t* progressTitle;
  const wchar_t* status;
};
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
    WriteBytes(dir.Path("planted.tar"), TarBytes({{{"link/planted.txt", 7}, BytesOf("planted")}}));
    Open(dir.Path("planted.tar"));
  } else {
    app.answers.newArchive = dir.Path("new.qbx").wstring();
    ASSERT_TRUE(app.Run(CMD_NEW_ARCHIVE));
  }
  app.answers.folder = folder.wstring();
  app.Command(c.extract ? CMD_EXTRACT : CMD_ADD_FOLDER);
  HWND progress = app.WaitDialog(c.progressTitle);
  ASSERT_NE(progress, nullptr);
  if (c.extract) {
    HWND error = app.WaitDialog(L"Extraction Error");
    ASSERT_NE(error, nullptr);
    Press(error, IDOK);
  }
  EXPECT_TRUE(WaitUntil([&] { return ItemText(progress, IDC_STATUS) == c.status; })) << ItemText(progress, IDC_STATUS);
  Sleep(300);
  EXPECT_FALSE(app.Finished());  // open until closed
  EXPECT_EQ(ItemText(progress, IDCANCEL), L"Close");
  Press(progress, IDCANCEL);
  ASSERT_TRUE(app.WaitFinished());
}
INSTANTIATE_TEST_SUITE_P(UiNames, UiLeftOut, testing::ValuesIn(kLeftOutCases), CaseName());
}  // namespace
