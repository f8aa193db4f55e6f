// qbx list --sort, run in-process. Its lines and JSON: CliRuns.
#include <gtest/gtest.h>

#include <sstream>

#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/cli_run.h"

namespace {
// The member indexes of qbx list's lines, in the order printed.
std::vector<int> ListedOrder(const std::string& out) {
  std::vector<int> order;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (line.size() > 6 && line[6] == ' ' && line[5] >= '0' && line[5] <= '9') order.push_back(std::stoi(line.substr(0, 6)));
  return order;
}

struct SortCase {
  const char* what;
  std::vector<std::u16string> options;
  std::vector<int> order;
};

class CliListSort : public testing::TestWithParam<SortCase> {};

TEST_P(CliListSort, OrdersTheLines) {
  ScratchDir dir;
  WriteBytes(dir.Path("a.tar"), TarBytes({{{"b.txt", 1, 1600000000, 0644}, BytesOf("b")},
                                          {{"a.txt", 700, 1600000000, 0600}, Bytes(700, 'a')},
                                          {{"c.txt", 3, 1600000000, 0755}, BytesOf("ccc")}}));
  std::vector<std::u16string> args = {u"list"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  args.push_back(Wide(dir.Path("a.tar")));
  CliRun c = RunQbx(args);
  EXPECT_EQ(c.status, int{kResultOk}) << c.err;
  EXPECT_EQ(ListedOrder(c.out), GetParam().order);
}

const SortCase kSortCases[] = {
    {"archive order by default", {}, {0, 1, 2}},
    {"name", {u"--sort", u"name"}, {1, 0, 2}},
    {"name reversed", {u"--sort", u"name", u"--reverse"}, {2, 0, 1}},
    {"size", {u"--sort", u"size"}, {1, 0, 2}},
    {"details", {u"--sort", u"details"}, {2, 0, 1}},
    {"details by its old name column6", {u"--sort", u"column6"}, {2, 0, 1}},
};
INSTANTIATE_TEST_SUITE_P(CliList, CliListSort, testing::ValuesIn(kSortCases), CaseName());
}  // namespace
