// The selection a job reads once at its start: exactly the selected members, also those
// whose index lies beyond what the member count suggested.
#include <gtest/gtest.h>

#include <vector>

#include "formats/formats.h"
#include "jobs/job_host.h"
#include "jobs/jobs.h"
#include "support/case_name.h"

namespace {
struct SelectionCase {
  const char* what;
  uint32_t memberCount;
  std::vector<uint32_t> selected;
  bool everyRow = false;  // the selected members are every row there is
};

std::vector<uint32_t> gSelected;

uint32_t ReadTestSelection(MainState*, uint64_t* bits, uint32_t words) {
  uint32_t need = 0;
  for (uint32_t member : gSelected) need = std::max(need, MarkSelectedMember(bits, words, member));
  return need;
}

class Selection : public testing::TestWithParam<SelectionCase> {};

TEST_P(Selection, MarksExactlyTheSelectedMembers) {
  const SelectionCase& c = GetParam();
  JobHost host{};
  host.readSelection = ReadTestSelection;
  static MainState state;
  ASSERT_TRUE(InitMainState(&state, AllFormatTable(), &host, nullptr));
  state.Archive.memberCount = c.memberCount;
  state.Totals.SelectedCount = static_cast<uint32_t>(c.selected.size());
  if (c.everyRow) state.Totals.RowCount = state.Totals.ListedCount = state.Totals.SelectedCount;
  gSelected = c.selected;
  ASSERT_TRUE(TakeSelection(&state));
  for (uint32_t member = 0; member < 1100; ++member) {
    const bool expected = c.selected.empty() || c.everyRow || std::count(c.selected.begin(), c.selected.end(), member) != 0;
    EXPECT_EQ(IsSelectedMember(&state, member), expected) << member;
  }
  FreeMainState(&state);
}

INSTANTIATE_TEST_SUITE_P(
    Members, Selection,
    testing::Values(SelectionCase{"none selected means all", 10, {}},
                    SelectionCase{"first and last of a word", 200, {0, 63, 64, 127}},
                    SelectionCase{"beyond the member count", 1, {0, 1000}},
                    SelectionCase{"every row selected means all", 2, {0, 1}, true}),
    CaseName());
}  // namespace
