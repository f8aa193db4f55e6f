// A TAR inside gzip in the window: its members, read-only, said in the title and status
// bar, and the gzip file itself one command away.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/resource_ids.h"
#include "ui_driver.h"

namespace {
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
}  // namespace
