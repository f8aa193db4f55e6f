// ZipCrypto against a member Info-ZIP encrypted ("zip -0 -P 'pass word'").
#include <gtest/gtest.h>

#include "support/deflate_writer.h"
#include "zip/zip_crypto.h"

namespace {

// Encryption header and data of the stored member note.txt; its local header carries the
// DOS time 0xBE42, whose high byte closes the header because the member is streamed.
const char kEncrypted[] =
    "0265debdfdfe53c8446fa8d2 038f8f30db9c77bb65bbd5fdf270070d23b4bf525464140e";

TEST(ZipCrypto, DecryptsWhatInfoZipEncrypted) {
  Bytes b = Hex(kEncrypted);
  uint32_t keys[3];
  const uint8_t password[] = "pass word";
  ZipCryptoInit(keys, password, b.data());
  EXPECT_EQ(b[11], 0xBE);
  // Decrypting in two pieces is the same as in one.
  ZipCryptoDecrypt(keys, b.data() + 12, 5);
  ZipCryptoDecrypt(keys, b.data() + 17, b.size() - 17);
  EXPECT_EQ(std::string(b.begin() + 12, b.end()), "Quillbox keeps secrets.\n");
}
}  // namespace
