// Listing TAR archives built block by block, quirks and damage included.
#include <gtest/gtest.h>

#include "core/archive.h"
#include "core/filetime.h"
#include "core/tar.h"
#include "support/archive_builder.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace {
struct Listing {
  ResultCode result;
  uint32_t openMode;
  uint32_t memberCount;
  uint64_t appendOffset;
  std::vector<ListedMember> members;
};

Listing ListBytes(const Bytes& archive, uint32_t codePage = 65001) {
  ScratchDir dir;
  auto path = dir.Path("a.tar");
  WriteBytes(path, archive);
  ListingContext l(path, codePage);
  ResultCode r = l.Open();
  return {r, l.context.openMode, l.context.memberCount, l.context.appendOffset, l.members};
}

Bytes Filled(size_t n, uint8_t value = 'x') { return Bytes(n, value); }

TEST(TarList, ReadsNumbersAndChecksumsAsOldAndNewTarsWriteThem) {
  struct Case {
    const char* what;
    TarHeaderFields fields;
  };
  TarHeaderFields plain{"plain.txt", 5};
  TarHeaderFields spaced{"spaced.txt", 5};
  spaced.spacesInNumbers = true;
  TarHeaderFields signedSum{"\xC3\xA9t\xC3\xA9.txt", 5};
  signedSum.signedChecksum = true;
  TarHeaderFields gnuSparse{"sparse", 5};
  gnuSparse.typeflag = 'S';
  for (const Case& c : {Case{"plain", plain}, Case{"spaces", spaced}, Case{"signed", signedSum},
                        Case{"sparse", gnuSparse}}) {
    SCOPED_TRACE(c.what);
    Bytes a;
    AppendTarMember(a, c.fields, BytesOf("hello"));
    AppendZeroBlocks(a, 2);
    Listing l = ListBytes(a);
    ASSERT_EQ(l.result, 0u);
    ASSERT_EQ(l.members.size(), 1u);
    const EntryRecord& e = l.members[0].entry;
    EXPECT_EQ(NameOf(e), c.fields.name);
    EXPECT_EQ(e.size, 5u);
    EXPECT_EQ(e.packedSize, 512);
    EXPECT_EQ(e.padding, 507u);
    EXPECT_EQ(e.mode, 0644u);
    EXPECT_EQ(e.attributes, kAttrArchive);
    EXPECT_EQ(e.modified, UnixToFileTime(1600000000));
    EXPECT_EQ(l.openMode, kModeReadWrite);
    EXPECT_EQ(l.appendOffset, 1024u);
  }
}

TEST(TarList, TypeflagsGiveAttributes) {
  const std::pair<char, uint32_t> cases[] = {{'\0', kAttrArchive}, {'0', kAttrArchive},
                                             {'7', kAttrArchive},  {'5', kAttrDirectory},
                                             {'2', 0},             {'1', 0},
                                             {'3', 0},             {'6', 0},
                                             {'L', 0},             {'Z', 0}};
  Bytes a;
  for (auto [type, attributes] : cases) {
    TarHeaderFields s{std::string("m") + (type ? type : '_')};
    s.typeflag = type;
    AppendTarMember(a, s, {});
  }
  AppendZeroBlocks(a, 2);
  Listing l = ListBytes(a);
  ASSERT_EQ(l.members.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(l.members[i].entry.attributes, cases[i].second) << "typeflag " << cases[i].first;
}

TEST(TarList, ZeroBlocksBetweenMembersTakeIndexes) {
  Bytes a;
  AppendTarMember(a, {"first", 3}, BytesOf("abc"));
  AppendZeroBlocks(a, 3);
  AppendTarMember(a, {"second", 0}, {});
  AppendZeroBlocks(a, 2);
  Listing l = ListBytes(a);
  ASSERT_EQ(l.members.size(), 2u);
  EXPECT_EQ(l.members[1].index, 4u);
  EXPECT_EQ(l.members[1].offset, 5u * 512);
  EXPECT_EQ(l.memberCount, 5u);
  EXPECT_EQ(l.appendOffset, 6u * 512);
  EXPECT_EQ(l.openMode, kModeReadWrite);
}

TEST(TarList, DamageEndsTheListingReadOnlyAndKeepsWhatCameBefore) {
  struct Case {
    const char* what;
    Bytes tail;
    uint32_t expectedMembers;
  };
  Bytes garbage = Filled(512, 'g');
  Bytes badChecksum = TarHeader({"bad", 0, 1600000000, 0644, '0', false, false, 1});
  Bytes zeroChecksumNonEmpty(512, 0);
  zeroChecksumNonEmpty[0] = 'n';
  Bytes badPax;
  AppendPaxHeader(badPax, PaxRecord("mtime", "1"), 'x', "././@PaxHeader", 5);
  AppendTarMember(badPax, {"after-pax", 0}, {});
  Bytes longPax;
  AppendPaxHeader(longPax, std::string(kTarMaxExtendedLength + 1, 'a'));
  Bytes paxCutOff;  // its data would need 2048 bytes; the file has 1536 left
  AppendPaxHeader(paxCutOff, PaxRecord("comment", std::string(2000, 'c')));
  paxCutOff.resize(512);
  Bytes sparseTooLong;
  {
    sparseTooLong = TarHeader({"s", 0, 1, 0644, 'S'});
    sparseTooLong[kTarSparseExtendedOffset] = 1;
    RefreshTarChecksum(sparseTooLong.data());
    Bytes extension(512, 0);
    extension[kTarSparseBlockExtendedOffset] = 1;
    for (int i = 0; i < 200; ++i) sparseTooLong.insert(sparseTooLong.end(), extension.begin(), extension.end());
  }
  for (const Case& c : {Case{"garbage block", garbage, 1}, Case{"bad checksum", badChecksum, 1},
                        Case{"zero checksum, not empty", zeroChecksumNonEmpty, 1},
                        Case{"pax header with bad checksum", badPax, 1},
                        Case{"pax header too long", longPax, 1},
                        Case{"file ends in pax header", paxCutOff, 1},
                        Case{"sparse extension blocks without end", sparseTooLong, 1}}) {
    SCOPED_TRACE(c.what);
    Bytes a;
    AppendTarMember(a, {"kept", 2}, BytesOf("ok"));
    a.insert(a.end(), c.tail.begin(), c.tail.end());
    AppendZeroBlocks(a, 2);
    Listing l = ListBytes(a);
    EXPECT_EQ(l.result, 0u);
    EXPECT_EQ(l.openMode, kModeReadOnly);
    ASSERT_EQ(l.members.size(), c.expectedMembers);
    EXPECT_EQ(NameOf(l.members[0].entry), "kept");
    EXPECT_EQ(l.memberCount, 1u);
    EXPECT_EQ(l.appendOffset, 1024u);
  }
}

TEST(TarList, GarbageBehindTheEndBlocksMakesItReadOnly) {
  Bytes a;
  AppendTarMember(a, {"m", 1}, BytesOf("1"));
  AppendZeroBlocks(a, 2);
  Bytes g = Filled(512, 0x55);
  a.insert(a.end(), g.begin(), g.end());
  Listing l = ListBytes(a);
  EXPECT_EQ(l.members.size(), 1u);
  EXPECT_EQ(l.openMode, kModeReadOnly);
}

TEST(TarList, DataCutOffByTheEndOfTheFileMakesItReadOnly) {
  Bytes a;
  AppendTarMember(a, {"whole", 3}, BytesOf("abc"));
  AppendTarMember(a, {"cut", 2000}, Filled(2000));
  a.resize(512 * 2 + 700);
  Listing l = ListBytes(a);
  EXPECT_EQ(l.result, 0u);
  ASSERT_EQ(l.members.size(), 2u);
  EXPECT_EQ(l.members[1].entry.size, 2000u);
  EXPECT_EQ(l.openMode, kModeReadOnly);
}

TEST(TarList, ExtendedHeadersGiveSizeAndTimeButNotName) {
  Bytes a;
  AppendPaxHeader(a, PaxRecord("path", "a/very/long/name") + PaxRecord("mtime", "1600000000.123456789") +
                         PaxRecord("size", "70000"));
  AppendTarMember(a, {"short", 0, 5}, {});  // own size 0: the data follows the pax size
  a.resize(a.size() + 70000 + TarPadding(70000), 'd');
  AppendTarMember(a, {"next", 1}, BytesOf("n"));
  AppendZeroBlocks(a, 2);
  Listing l = ListBytes(a);
  ASSERT_EQ(l.result, 0u);
  ASSERT_EQ(l.members.size(), 2u);
  const EntryRecord& e = l.members[0].entry;
  EXPECT_EQ(NameOf(e), "short");
  EXPECT_EQ(e.size, 70000u);
  EXPECT_EQ(e.modified, UnixToFileTime(1600000000));
  EXPECT_EQ(l.members[0].offset, 0u);
  EXPECT_EQ(NameOf(l.members[1].entry), "next");
  EXPECT_EQ(l.members[1].index, 1u);
  EXPECT_EQ(l.openMode, kModeReadWrite);
}

TEST(TarList, ExtendedHeaderKindsAreStepOverWhateverTheirName) {
  struct Case {
    const char* what;
    char typeflag;
    const char* name;
    uint64_t expectedSize;
  };
  const Case cases[] = {
      {"named ././@PaxHeader, odd type", 'A', "././@PaxHeader", 700},
      {"GNU tar x header", 'x', "./PaxHeaders.1234/member", 700},
      {"libarchive x header", 'x', "PaxHeader/member", 700},
      {"global header: keys not applied", 'g', "pax_global_header", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes a;
    AppendPaxHeader(a, PaxRecord("size", "700"), c.typeflag, c.name);
    AppendTarMember(a, {"member", 0}, {});
    a.resize(a.size() + c.expectedSize + TarPadding(c.expectedSize), 0x11);
    AppendTarMember(a, {"after", 0}, {});
    AppendZeroBlocks(a, 2);
    Listing l = ListBytes(a);
    ASSERT_EQ(l.members.size(), 2u);
    EXPECT_EQ(NameOf(l.members[0].entry), "member");
    EXPECT_EQ(l.members[0].entry.size, c.expectedSize);
    EXPECT_EQ(NameOf(l.members[1].entry), "after");
    EXPECT_EQ(l.openMode, kModeReadWrite);
  }
}

TEST(TarList, SeveralExtendedHeadersInARowTheLastXCounts) {
  Bytes a;
  AppendPaxHeader(a, PaxRecord("comment", "git"), 'g', "pax_global_header");
  AppendPaxHeader(a, PaxRecord("size", "9999") + PaxRecord("mtime", "5"));
  AppendPaxHeader(a, PaxRecord("size", "600") + PaxRecord("mtime", "1700000000"));
  AppendTarMember(a, {"m", 0, 10}, {});
  a.resize(a.size() + 600 + TarPadding(600), 0);
  AppendTarMember(a, {"n", 0}, {});
  AppendZeroBlocks(a, 2);
  Listing l = ListBytes(a);
  ASSERT_EQ(l.members.size(), 2u);
  EXPECT_EQ(l.members[0].entry.size, 600u);
  EXPECT_EQ(l.members[0].entry.modified, UnixToFileTime(1700000000));
  EXPECT_EQ(l.members[0].offset, 0u);
  EXPECT_EQ(l.members[1].index, 1u);
}

TEST(TarList, KeysMatchWholeRecordsOnly) {
  Bytes a;
  AppendPaxHeader(a, PaxRecord("path", "dir/size=99999/f") + PaxRecord("GNU.sparse.realsize", "88888") +
                         PaxRecord("size", "3"));
  AppendTarMember(a, {"f", 0}, BytesOf("abc"));
  AppendZeroBlocks(a, 2);
  Listing l = ListBytes(a);
  ASSERT_EQ(l.members.size(), 1u);
  EXPECT_EQ(l.members[0].entry.size, 3u);
  EXPECT_EQ(l.openMode, kModeReadWrite);
}

TEST(TarList, EmptyBlockAfterAnExtendedHeaderAdvancesPastAllOfIt) {
  Bytes a;
  AppendPaxHeader(a, PaxRecord("mtime", "1"));  // 1024 bytes with its data
  AppendZeroBlocks(a, 1);
  AppendTarMember(a, {"m", 0}, {});
  AppendZeroBlocks(a, 2);
  Listing l = ListBytes(a);
  ASSERT_EQ(l.members.size(), 1u);
  EXPECT_EQ(l.members[0].index, 1u);
  EXPECT_EQ(l.members[0].offset, 1536u);
}

TEST(TarList, HugeSizesFromExtendedAndBase256FieldsAreSteppedOver) {
  // Sparse files: the 9 GB of data cost nothing on disk.
  for (bool base256 : {false, true}) {
    SCOPED_TRACE(base256 ? "base-256 size" : "pax size");
    ScratchDir dir;
    auto path = dir.Path("big.tar");
    const uint64_t big = 9000000000ULL;
    Bytes head;
    if (!base256) AppendPaxHeader(head, PaxRecord("size", "9000000000") + PaxRecord("mtime", "1600000000.5"));
    Bytes h = TarHeader({"big", 0});
    if (base256) {
      std::memset(&h[kTarSizeOffset], 0, 12);
      h[kTarSizeOffset] = 0x80;
      for (int i = 0; i < 8; ++i) h[kTarSizeOffset + 11 - i] = static_cast<uint8_t>(big >> (8 * i));
      RefreshTarChecksum(h.data());
    }
    head.insert(head.end(), h.begin(), h.end());
    WriteBytes(path, head);
    {
      std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(static_cast<std::streamoff>(head.size() + big + TarPadding(big)));
      Bytes tail = TarHeader({"after", 0});
      AppendZeroBlocks(tail, 2);
      f.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
    }
    ListingContext l(path);
    ASSERT_EQ(l.Open(), 0u);
    ASSERT_EQ(l.members.size(), 2u);
    EXPECT_EQ(l.members[0].entry.size, big);
    EXPECT_EQ(NameOf(l.members[1].entry), "after");
    EXPECT_EQ(l.context.openMode, kModeReadWrite);
  }
}

TEST(TarList, NameOfExactlyHundredBytesIsReadWhole) {
  std::string name(100, 'n');
  Bytes a;
  AppendTarMember(a, {name, 0}, {});
  AppendZeroBlocks(a, 2);
  Listing l = ListBytes(a);
  ASSERT_EQ(l.members.size(), 1u);
  EXPECT_EQ(NameOf(l.members[0].entry), name);
}

TEST(TarList, OldGnuSparseExtensionBlocksAreSteppedOver) {
  Bytes h = TarHeader({"sparse", 5, 1, 0644, 'S'});
  h[kTarSparseExtendedOffset] = 1;
  RefreshTarChecksum(h.data());
  Bytes a = h;
  Bytes more(512, 0);
  more[kTarSparseBlockExtendedOffset] = 1;
  a.insert(a.end(), more.begin(), more.end());
  AppendZeroBlocks(a, 1);  // the last extension block
  Bytes data = BytesOf("hello");
  a.insert(a.end(), data.begin(), data.end());
  a.resize(a.size() + TarPadding(5), 0);
  AppendTarMember(a, {"next", 0}, {});
  AppendZeroBlocks(a, 2);
  Listing l = ListBytes(a);
  ASSERT_EQ(l.members.size(), 2u);
  EXPECT_EQ(l.members[0].entry.size, 5u);
  EXPECT_EQ(l.members[1].offset, 4u * 512);
  EXPECT_EQ(l.openMode, kModeReadWrite);
}
}  // namespace
