// Damaged archives never crash or hang the listing: about 1% of the bytes of good archives
// are changed many times over, and each result must be a documented outcome.
#include <gtest/gtest.h>

#include <random>

#include "core/archive.h"
#include "support/archive_builder.h"

namespace {
Bytes GoodTar() {
  Bytes a;
  AppendPaxHeader(a, PaxRecord("size", "700") + PaxRecord("mtime", "1600000000"));
  AppendTarMember(a, {"pax", 0}, Bytes(700, 'p'));
  AppendTarMember(a, {"plain", 5}, BytesOf("plain"));
  TarHeaderFields sparse{"sparse", 3};
  sparse.typeflag = 'S';
  AppendTarMember(a, sparse, BytesOf("abc"));
  AppendZeroBlocks(a, 2);
  return a;
}

Bytes GoodQbx() {
  Bytes a;
  AppendQbxMember(a, {"one", BytesOf("1")});
  AppendQbxMember(a, {"empty", {}});
  AppendQbxMember(a, {"two", Bytes(3000, 't')});
  return a;
}

TEST(Mutation, DamagedArchivesListWithoutCrashing) {
  std::mt19937 random(12345);
  for (const auto& [name, good] : {std::pair<const char*, Bytes>{"m.tar", GoodTar()}, {"m.qbx", GoodQbx()}}) {
    ScratchDir dir;
    for (int round = 0; round < 300; ++round) {
      Bytes damaged = good;
      size_t changes = 1 + damaged.size() / 100;
      for (size_t i = 0; i < changes; ++i) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
      if (round % 7 == 0) damaged.resize(random() % damaged.size());
      WriteBytes(dir.Path(name), damaged);
      ListingContext l(dir.Path(name));
      ResultCode r = l.Open();
      ASSERT_EQ(r, kResultOk) << name << " round " << round;
      // Writable only when the next member would follow the listed ones without a gap.
      if (l.context.openMode == kModeReadWrite) {
        EXPECT_LE(l.context.appendOffset, l.context.fileSize);
      }
      for (const ListedMember& m : l.members) EXPECT_LT(m.index, l.context.memberCount);
    }
  }
}
}  // namespace
