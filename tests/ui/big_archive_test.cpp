// A hundred thousand members in the window: listed, all selected and tested within the
// suite's usual time (the list holds the rows itself and asks no row per member). The
// times are printed for the record; the benchmarks judge them.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>

#include "app/resource_ids.h"
#include "support/archive_builder.h"
#include "ui_driver.h"

namespace {
constexpr int kMembers = 100000;

double WorkingSetMiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize / 1048576.0
                                                                                    : 0;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class UiBigArchive : public UiTest {
 protected:
  // Runs Test to its verdict and closes the dialog; the time it took, or -1.
  double TestSeconds() {
    const auto start = std::chrono::steady_clock::now();
    app.Command(CMD_TEST);
    HWND progress = app.WaitDialog(L"Testing");
    const bool passed = progress != nullptr && WaitUntil([&] {
      return ItemText(progress, IDC_STATUS) == L"Test completed. There are no errors.";
    }, 120000);
    const double seconds = SecondsSince(start);
    EXPECT_TRUE(passed);
    if (progress != nullptr) Press(progress, IDCANCEL);
    EXPECT_TRUE(app.WaitFinished());
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
  const double opened = SecondsSince(start);
  const double rowsMiB = WorkingSetMiB() - before;
  ASSERT_EQ(app.RowCount(), kMembers);
  EXPECT_EQ(app.Cell(kMembers - 1, 0), L"dir099/m099999.txt");

  start = std::chrono::steady_clock::now();
  ASSERT_TRUE(app.Run(CMD_SELECT_ALL));
  ASSERT_TRUE(WaitUntil([&] { return app.State()->Totals.SelectedCount == kMembers; }));
  const double selected = SecondsSince(start);

  const double testedSelected = TestSeconds();
  ASSERT_TRUE(app.Run(CMD_DESELECT_ALL));
  ASSERT_EQ(app.State()->Totals.SelectedCount, 0u);
  const double testedAll = TestSeconds();
  std::printf("100 000 members: opened in %.2f s (%.1f MiB more), all selected in %.2f s, "
              "tested in %.2f s with every row selected and %.2f s with none\n",
              opened, rowsMiB, selected, testedSelected, testedAll);
}
}  // namespace
