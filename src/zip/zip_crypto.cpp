#include "zip/zip_crypto.h"

#include "deflate/crc32.h"

namespace {

constexpr uint32_t kInitialKeys[3] = {0x12345678, 0x23456789, 0x34567890};
constexpr uint32_t kKeyMultiplier = 134775813;

inline uint8_t StreamByte(const uint32_t keys[3]) {
  uint32_t t = (keys[2] | 2) & 0xFFFF;
  return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

}  // namespace

void ZipCryptoUpdateKeys(uint32_t keys[3], uint8_t plain) {
  keys[0] = Crc32Step(keys[0], plain);
  keys[1] = (keys[1] + (keys[0] & 0xFF)) * kKeyMultiplier + 1;
  keys[2] = Crc32Step(keys[2], static_cast<uint8_t>(keys[1] >> 24));
}

void ZipCryptoDecrypt(uint32_t keys[3], uint8_t* bytes, size_t count) {
  // The key words live in registers for the run, not in the caller's memory.
  uint32_t k[3] = {keys[0], keys[1], keys[2]};
  for (size_t i = 0; i < count; i++) {
    uint8_t plain = bytes[i] ^ StreamByte(k);
    bytes[i] = plain;
    ZipCryptoUpdateKeys(k, plain);
  }
  keys[0] = k[0];
  keys[1] = k[1];
  keys[2] = k[2];
}

void ZipCryptoInit(uint32_t keys[3], const uint8_t* password, uint8_t* header) {
  keys[0] = kInitialKeys[0];
  keys[1] = kInitialKeys[1];
  keys[2] = kInitialKeys[2];
  for (const uint8_t* p = password; p && *p; p++) ZipCryptoUpdateKeys(keys, *p);
  ZipCryptoDecrypt(keys, header, kZipCryptoHeaderSize);
}
