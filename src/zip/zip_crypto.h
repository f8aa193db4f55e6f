// The traditional PKWARE ZIP encryption ("ZipCrypto"): three 32-bit key words driven by
// CRC-32 steps and a linear congruential multiplier.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kZipCryptoHeaderSize = 12;

// Starts the keys from the password (bytes up to the first zero; null is empty), then
// decrypts the 12-byte encryption header in place.
void ZipCryptoInit(uint32_t keys[3], const uint8_t* password, uint8_t* header);

// Folds one plain byte into the keys.
void ZipCryptoUpdateKeys(uint32_t keys[3], uint8_t plain);

void ZipCryptoDecrypt(uint32_t keys[3], uint8_t* bytes, size_t count);
