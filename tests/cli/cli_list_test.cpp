// qbx list and qbx create, run in-process.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/archive_builder.h"
#include "support/case_name.h"
#include "support/cli_run.h"

namespace {
TEST(CliList, JsonOfAQbxArchive) {
  ScratchDir dir;
  Bytes a;
  AppendQbxMember(a, {"caf\xC3\xA9\"q.qqx", BytesOf("12345"), 132000000000000000ULL, 0x21});
  WriteBytes(dir.Path("a.qbx"), a);
  CliRun c = RunQbx({u"list", u"--json", Wide(dir.Path("a.qbx"))});
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(c.out,
            "{\"format\":\"QBX\",\"result\":0,\"writable\":true,\"memberCount\":1,\"appendOffset\":521,"
            "\"fileSize\":521,\"members\":[{\"index\":0,\"name\":\"caf\xC3\xA9\\\"q.qqx\","
            "\"nameHex\":\"636166c3a922712e717178\",\"packedSize\":5,\"size\":5,"
            "\"modified\":132000000000000000,\"attributes\":33,\"method\":0,\"mode\":0,\"padding\":0,"
            "\"checksum\":" + std::to_string(a[508] | a[509] << 8 | a[510] << 16 | uint32_t{a[511]} << 24) +
            ",\"cells\":[\"caf\xC3\xA9\\\"q.qqx\",\"2019-04-17 18:40\",\"QQX File\",\"5\",\"5\",\"RA\"]}],"
            "\"status\":[\" 1 item\",\"5 bytes\"]}\n");
}

// Without the UTF-8 setting, well-formed UTF-8 is still read as UTF-8 and anything else one
// byte per character; with it, every name is UTF-8 and a stray byte shows as U+FFFD.
TEST(CliList, TextLinesAndTarCodePage) {
  ScratchDir dir;
  Bytes a;
  AppendTarMember(a, {"na\xC3\xAFve", 3, 1600000000}, BytesOf("abc"));
  AppendTarMember(a, {"caf\xE9", 3, 1600000000}, BytesOf("abc"));
  AppendZeroBlocks(a, 2);
  WriteBytes(dir.Path("a.tar"), a);
  const std::string columns = "  2020-09-13 12:26              512                3  -rw-r--r--           File                  ";
  const std::string status = "2 items, 1 KB  \xE2\x86\x92  6 bytes\n";
  CliRun bytes = RunQbx({u"list", Wide(dir.Path("a.tar"))});
  EXPECT_EQ(bytes.status, 0);
  EXPECT_EQ(bytes.out, "     0" + columns + "na\xC3\xAFve\n     1" + columns + "caf\xC3\xA9\n" + status);
  CliRun utf8 = RunQbx({u"list", u"--utf8", Wide(dir.Path("a.tar"))});
  EXPECT_EQ(utf8.out, "     0" + columns + "na\xC3\xAFve\n     1" + columns + "caf\xEF\xBF\xBD\n" + status);
}

TEST(CliList, FailuresExitWithTheResultCode) {
  ScratchDir dir;
  WriteBytes(dir.Path("x.bin"), BytesOf("plain text"));
  CliRun text = RunQbx({u"list", Wide(dir.Path("x.bin"))});
  EXPECT_EQ(text.status, int{kResultNotArchive});
  EXPECT_EQ(text.err, "Open Error: The file cannot be opened as an archive.\n");
  CliRun json = RunQbx({u"list", u"--json", Wide(dir.Path("x.bin"))});
  EXPECT_EQ(json.status, int{kResultNotArchive});
  EXPECT_EQ(json.out,
            "{\"result\":19,\"title\":\"Open Error\",\"text\":\"The file cannot be opened as an archive.\"}\n");
  EXPECT_EQ(RunQbx({u"list"}).status, kExitUsage);
  EXPECT_EQ(RunQbx({u"frobnicate"}).status, kExitUsage);
}

TEST(CliCreate, NewTarAndQbxThenListThem) {
  ScratchDir dir;
  EXPECT_EQ(RunQbx({u"create", Wide(dir.Path("n.tar"))}).status, 0);
  EXPECT_EQ(ReadBytes(dir.Path("n.tar")), Bytes(1024, 0));
  EXPECT_EQ(RunQbx({u"create", Wide(dir.Path("n.qbx"))}).status, 0);
  CliRun c = RunQbx({u"list", u"--json", Wide(dir.Path("n.qbx"))});
  EXPECT_EQ(c.out,
            "{\"format\":\"QBX\",\"result\":0,\"writable\":true,\"memberCount\":0,\"appendOffset\":0,"
            "\"fileSize\":0,\"members\":[],\"status\":[\" 0 items\",\"0 bytes\"]}\n");
  CliRun zip = RunQbx({u"create", Wide(dir.Path("n.zip"))});
  EXPECT_EQ(zip.status, int{kResultSave});
  EXPECT_EQ(zip.err, "Save Error: The file cannot be saved.\n");
}

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
  Bytes a;
  AppendTarMember(a, {"b.txt", 1, 1600000000, 0644}, BytesOf("b"));
  AppendTarMember(a, {"a.txt", 700, 1600000000, 0600}, Bytes(700, 'a'));
  AppendTarMember(a, {"c.txt", 3, 1600000000, 0755}, BytesOf("ccc"));
  AppendZeroBlocks(a, 2);
  WriteBytes(dir.Path("a.tar"), a);
  std::vector<std::u16string> args = {u"list"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  args.push_back(Wide(dir.Path("a.tar")));
  CliRun c = RunQbx(args);
  EXPECT_EQ(c.status, 0) << c.err;
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

TEST(CliList, UnknownSortKeyNamesTheKnownOnes) {
  CliRun c = RunQbx({u"list", u"--sort", u"column7", u"a.tar"});
  EXPECT_EQ(c.status, kExitUsage);
  EXPECT_EQ(c.err.substr(0, c.err.find('\n')), "qbx: --sort takes name, date, type, size, extracted, details or archive");
}
}  // namespace
