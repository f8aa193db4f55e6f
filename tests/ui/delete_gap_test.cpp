// Delete of the last member in a TAR whose member indexes have a gap (a zero block between
// members): after one Delete, the highest member left is the last one.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
class UiDeleteGap : public UiTest {};

TEST_F(UiDeleteGap, DeleteTakesTheHighestMemberLeft) {
  Bytes tar;
  AppendTarMember(tar, {"first", 1}, BytesOf("1"));
  AppendZeroBlocks(tar, 1);  // member index 1 is this gap
  AppendTarMember(tar, {"second", 1}, BytesOf("2"));
  AppendZeroBlocks(tar, 2);
  WriteBytes(dir.Path("gap.tar"), tar);
  Open(dir.Path("gap.tar"));
  ASSERT_EQ(app.RowCount(), 2);
  for (int rowsLeft : {1, 0}) {
    Select({rowsLeft});
    ASSERT_TRUE(app.Run(CMD_ROW_DELETE));
    ASSERT_EQ(app.RowCount(), rowsLeft);
  }
  ASSERT_TRUE(app.Stop());
  EXPECT_EQ(ReadBytes(dir.Path("gap.tar")), Bytes(1024, 0));
}
}  // namespace
