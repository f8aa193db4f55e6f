// ZIP test and extraction on archives built byte by byte: their verdicts. Names, data and times
// extracted: ZipGzInterop; what a failing member leaves behind: Extract.OnlySoundMembersReplaceFiles.
#include <gtest/gtest.h>

#include "core/archive.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/deflate_writer.h"
#include "support/source_files.h"
#include "support/zip_builder.h"

namespace {
ResultCode Walk(const ScratchDir& dir, const Bytes& archive, const WalkOptions& fields,
                std::vector<std::u16string>* offered = nullptr) {
  WriteBytes(dir.Path("a.zip"), archive);
  return WalkArchive(dir.Path("a.zip"), dir.Path("out"), fields, offered);
}

const Bytes kText = BytesOf("the quick brown fox jumps over the lazy dog\n");
const Bytes kData = Pattern(70000, 3);

// A Deflate64 stream whose match reaches 40000 bytes back: Deflate cannot express it.
ZipEntryFields FarMatch(uint16_t method) {
  const Bytes head = Pattern(40000, 5);
  BitWriter w;
  StoredBlocks(w, head, false);
  BlockStart(w, true, 1);
  FixedSymbol(w, 264);                  // length 10
  FixedDistance(w, 30);                 // 32769 + 14 extra bits
  w.Bits(40000 - 32769, 14);
  FixedSymbol(w, 256);
  Bytes content = head;
  content.insert(content.end(), head.begin(), head.begin() + 10);
  ZipEntryFields s = StoredEntry("far", content);
  s.data = w.bytes;
  s.method = method;
  return s;
}

ZipEntryFields Damaged(ZipEntryFields s, size_t at) {
  s.data[at] ^= 0x10;
  return s;
}

ZipEntryFields Declared(ZipEntryFields s, uint64_t size) {
  s.size = size;
  return s;
}

// absent: a member whose file must not be there afterwards.
struct Verdict { const char* what; Bytes archive; WalkOptions fields; ResultCode expected; std::string absent = ""; };

std::vector<Verdict> Verdicts() {
  const ZipEntryFields stored = StoredEntry("stored", kText);
  const ZipEntryFields deflated = DeflatedEntry("deflated", kData);
  const ZipEntryFields streamed = Streamed(DeflatedEntry("streamed", kData), Descriptor::Signed);
  const ZipEntryFields streamed64 = Streamed(StoredEntry("streamed64", kText), Descriptor::Zip64Plain);
  ZipEntryFields bzip2 = StoredEntry("bzip2", kText);
  bzip2.method = 12;
  ZipEntryFields strong = DeflatedEntry("strong", kText);
  strong.flags = 0x41;
  ZipEntryFields shortCrypt = Encrypted(StoredEntry("short", {}), "pw");
  shortCrypt.data.resize(5);
  const Bytes garbage = Joined({ZipArchive({stored, deflated}, false), BytesOf("garbage!")});
  const Bytes zip64End = Joined({ZipArchive({stored}, false), Le32Bytes(0x06064B50), Bytes(52, 0)});
  const Bytes extraData = Joined({ZipArchive({stored}, false), Le32Bytes(0x08064B50), Bytes(52, 0)});
  Bytes cut = ZipArchive({stored, deflated}, false);
  cut.resize(cut.size() - 100);
  // A member is never written past the size it declares: a Deflate bomb or a stored member
  // that lies about its size stops there and leaves no file. Smaller than declared, the
  // stream ends early and the size check behind it says so.
  const Bytes mib(1 << 20, 'z');
  const Bytes bomb = ZipArchive({Declared(DeflatedEntry("m", mib), 100)});
  const Bytes storedBomb = ZipArchive({Declared(StoredEntry("m", mib), 100)});
  const Bytes oneShort = ZipArchive({Declared(DeflatedEntry("m", mib), mib.size() - 1)});
  const Bytes oneOver = ZipArchive({Declared(DeflatedEntry("m", mib), mib.size() + 1)});
  return {
      {"sound members", ZipArchive({stored, deflated, streamed, streamed64, FarMatch(9)}), {}, kResultOk},
      {"only the end record", ZipArchive({}), {}, kResultOk},
      {"ZIP64 end record behind the members", zip64End, {}, kResultOk},
      {"archive extra data behind the members", extraData, {}, kResultOk},
      {"changed data byte", ZipArchive({stored, Damaged(deflated, 3000)}), {}, kResultChecksum},
      {"changed block header", ZipArchive({stored, Damaged(deflated, 2)}), {}, kResultFormat},
      {"changed byte of a streamed member", ZipArchive({Damaged(streamed, 3000)}), {}, kResultFormat},
      {"Deflate cannot reach 40000 back", ZipArchive({FarMatch(8)}), {}, kResultFormat},
      {"right password", ZipArchive({Encrypted(stored, "pw"), Encrypted(deflated, "pw")}), {1, "pw", {}}, kResultOk},
      {"wrong password, stored", ZipArchive({Encrypted(stored, "pw")}), {1, "pW", {}}, kResultPassword},
      {"wrong password, deflated", ZipArchive({Encrypted(deflated, "pw")}), {1, "pW", {}}, kResultPassword},
      {"no password given", ZipArchive({Encrypted(deflated, "pw")}), {}, kResultPassword},
      {"empty encrypted member opens with any password", ZipArchive({Encrypted(StoredEntry("e", {}), "pw")}), {1, "x", {}}, kResultOk},
      {"encrypted member shorter than its header", ZipArchive({shortCrypt}), {1, "pw", {}}, kResultFormat},
      {"BZip2 member selected", ZipArchive({stored, bzip2, deflated}), {}, kResultUnsupportedMethod},
      {"BZip2 member passed over", ZipArchive({stored, bzip2, deflated}), {1, nullptr, {u"bzip2"}}, kResultOk},
      {"strong encryption selected", ZipArchive({strong}), {}, kResultUnsupportedMethod},
      {"garbage behind the last member", garbage, {}, kResultFormat},
      {"no central directory", ZipArchive({stored, deflated}, false), {}, kResultFormat},
      {"garbage behind the last member, extracting", garbage, kExtract, kResultOk},
      {"descriptor not found", ZipArchive({Streamed(StoredEntry("lost", kText), Descriptor::None)}), {}, kResultFormat},
      {"data cut short", cut, {}, kResultUnexpectedEnd},
      {"deflated member larger than declared", bomb, {}, kResultFormat},
      {"deflated member larger than declared, extracting", bomb, kExtract, kResultFormat, "m"},
      {"stored member larger than declared", storedBomb, {}, kResultFormat},
      {"stored member larger than declared, extracting", storedBomb, kExtract, kResultFormat, "m"},
      {"declared one byte short", oneShort, {}, kResultFormat},
      {"declared one byte short, extracting", oneShort, kExtract, kResultFormat, "m"},
      {"deflated member smaller than declared", oneOver, {}, kResultChecksum},
      {"deflated member smaller than declared, extracting", oneOver, kExtract, kResultChecksum, "m"},
  };
}

using ZipVerdict = testing::TestWithParam<Verdict>;
TEST_P(ZipVerdict, EndsWithItsResult) {
  ScratchDir dir;
  EXPECT_EQ(Walk(dir, GetParam().archive, GetParam().fields), GetParam().expected);
  if (!GetParam().absent.empty()) {
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out") / GetParam().absent));
  }
}
INSTANTIATE_TEST_SUITE_P(ZipRun, ZipVerdict, testing::ValuesIn(Verdicts()), CaseName());

}  // namespace
