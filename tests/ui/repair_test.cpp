// The question after opening an archive whose last member an interrupted add left
// incomplete. Which ends are cut is the core's test; here, that the window asks and obeys.
#include <gtest/gtest.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/source_files.h"
#include "ui_driver.h"

namespace {
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
