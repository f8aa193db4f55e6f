// How ZIP member names become text: the UTF-8 flag, Info-ZIP's Unicode Path field, bare
// UTF-8, and the OEM code page (437 here and under Wine) for everything else.
#include <gtest/gtest.h>

#include "deflate/crc32.h"
#include "support/archive_walk.h"
#include "support/case_name.h"
#include "support/zip_builder.h"

namespace {
// The Unicode Path field: version, the CRC-32 of the stored name it stands for, the name.
Bytes UnicodePath(const std::string& utf8, const std::string& storedName, uint8_t version = 1, uint32_t crcDelta = 0) {
  const uint32_t crc = Crc32Update(0, reinterpret_cast<const uint8_t*>(storedName.data()), storedName.size()) + crcDelta;
  Bytes field = {0x75, 0x70};
  const auto size = static_cast<uint16_t>(5 + utf8.size());
  field.push_back(static_cast<uint8_t>(size));
  field.push_back(static_cast<uint8_t>(size >> 8));
  field.push_back(version);
  for (uint8_t b : Le32Bytes(crc)) field.push_back(b);
  field.insert(field.end(), utf8.begin(), utf8.end());
  return field;
}

struct NameCase {
  const char* what;
  std::string stored;
  uint16_t flags;
  Bytes extra;
  std::string shown;  // UTF-8
};

class ZipNames : public testing::TestWithParam<NameCase> {};

TEST_P(ZipNames, ShowTheNameItsWriterMeant) {
  const NameCase& c = GetParam();
  ZipEntryFields entry = StoredEntry(c.stored, BytesOf("x"));
  entry.flags = c.flags;
  entry.extra = c.extra;
  const Listing l = ListBytes(ZipArchive({entry}), "a.zip");
  ASSERT_EQ(l.members.size(), 1u);
  EXPECT_EQ(l.members[0].name, c.shown);
}

const std::string kGrusseUtf8 = "Gr\xC3\xBC\xC3\x9F" "e.txt";
const NameCase kNameCases[] = {
    {"flagged UTF-8", kGrusseUtf8, 0x0800, {}, kGrusseUtf8},
    {"Unicode Path field over an old name", "GRUSSE.TXT", 0, UnicodePath(kGrusseUtf8, "GRUSSE.TXT"), kGrusseUtf8},
    {"Unicode Path field left stale by a rename", "GRUSSE.TXT", 0, UnicodePath(kGrusseUtf8, "OTHER.TXT"), "GRUSSE.TXT"},
    {"Unicode Path field of an unknown version", "GRUSSE.TXT", 0, UnicodePath(kGrusseUtf8, "GRUSSE.TXT", 2), "GRUSSE.TXT"},
    {"flag outranks the field", kGrusseUtf8, 0x0800, UnicodePath("other", kGrusseUtf8), kGrusseUtf8},
    {"unflagged UTF-8 as Info-ZIP writes it on Linux", kGrusseUtf8, 0, {}, kGrusseUtf8},
    {"code page 437 as Windows writes it", "Gr\x81\xE1" "e.txt", 0, {}, kGrusseUtf8},
    {"code page 437 box drawing", "\xC9\xCD\xBB", 0, {}, "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97"},
    {"ill-formed flagged UTF-8", "\xC0\xAE\xC0\xAE/x", 0x0800, {}, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD/x"},
};
INSTANTIATE_TEST_SUITE_P(Zip, ZipNames, testing::ValuesIn(kNameCases), CaseName());
}  // namespace
