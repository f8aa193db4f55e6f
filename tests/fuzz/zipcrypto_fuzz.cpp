// ZipCrypto against a model of the cipher written here from the ZIP application note:
// 1. the input's bytes taken as an encryption header and data decrypt as the model decrypts
//    them, in one call and in random pieces (the member walk decrypts chunk by chunk);
// 2. a header ending in its check byte and the data, encrypted by the model, decrypt back,
//    the check byte included;
// 3. that encrypted member in a ZIP of its own passes the archive core's test walk with the
//    password whenever its data are sound.
// Input: mode (bits 0-1: 1 Deflate, 2 Deflate64, otherwise stored; bit 2: sizes in a data
// descriptor), password length, the password, 11 header bytes, the member's plain data (a
// raw stream for Deflate and Deflate64).
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

#include "deflate/inflate.h"
#include "fuzz_file.h"
#include "zip/zip_crypto.h"

namespace {
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kModTime = 0x28A4;  // its high byte is the check byte behind a descriptor
constexpr uint32_t kMaxDecoded = 1 << 20;

// The model: CRC-32 from its polynomial, the three key words, the key stream byte.
uint32_t ModelCrcStep(uint32_t crc, uint8_t byte) {
  crc ^= byte;
  for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  return crc;
}

uint32_t ModelCrc(const Bytes& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) crc = ModelCrcStep(crc, b);
  return ~crc;
}

Bytes ModelCipher(const std::string& password, Bytes bytes, bool encrypt) {
  uint32_t key[3] = {0x12345678, 0x23456789, 0x34567890};
  auto update = [&](uint8_t plain) {
    key[0] = ModelCrcStep(key[0], plain);
    key[1] = (key[1] + (key[0] & 0xFF)) * 134775813 + 1;
    key[2] = ModelCrcStep(key[2], static_cast<uint8_t>(key[1] >> 24));
  };
  for (char c : password) update(static_cast<uint8_t>(c));
  for (uint8_t& b : bytes) {
    const uint32_t t = (key[2] | 2) & 0xFFFF;
    const uint8_t plain = encrypt ? b : static_cast<uint8_t>(b ^ ((t * (t ^ 1)) >> 8));
    b ^= static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    update(plain);
  }
  return bytes;
}

// password: up to its first zero byte, as the product reads it; header: 11 bytes.
struct Input { uint32_t mode; std::string password; Bytes header, data; };

bool Parse(const uint8_t* p, size_t size, Input* in) {
  if (size < 2) return false;
  const size_t length = std::min<size_t>(p[1], size - 2);
  in->mode = p[0];
  in->password.assign(reinterpret_cast<const char*>(p + 2), length);
  in->password.resize(std::strlen(in->password.c_str()));
  const size_t at = 2 + length;
  if (size - at < kZipCryptoHeaderSize - 1) return false;
  in->header.assign(p + at, p + at + kZipCryptoHeaderSize - 1);
  in->data.assign(p + at + kZipCryptoHeaderSize - 1, p + size);
  return true;
}

// 1: the tail from the header on as ciphertext.
void CheckDecryption(const Input& in, const uint8_t* tail, size_t size, uint32_t seed) {
  const uint8_t* password = reinterpret_cast<const uint8_t*>(in.password.c_str());
  Bytes whole(tail, tail + size);
  whole.resize(std::max<size_t>(size, kZipCryptoHeaderSize));
  Bytes pieces = whole;
  uint32_t keys[3], pieceKeys[3];
  ZipCryptoInit(keys, password, whole.data());
  ZipCryptoDecrypt(keys, whole.data() + kZipCryptoHeaderSize, whole.size() - kZipCryptoHeaderSize);
  ZipCryptoInit(pieceKeys, password, pieces.data());
  std::mt19937 random(seed);
  for (size_t at = kZipCryptoHeaderSize; at < pieces.size();) {
    const size_t piece = random() % 2 ? 1 + random() % 16 : 1 + random() % 4096;
    const size_t n = std::min<size_t>(piece, pieces.size() - at);
    ZipCryptoDecrypt(pieceKeys, pieces.data() + at, n);
    at += n;
  }
  if (whole != pieces || !std::equal(keys, keys + 3, pieceKeys)) __builtin_trap();
  Bytes cipher(tail, tail + size);
  cipher.resize(whole.size());
  if (ModelCipher(in.password, cipher, false) != whole) __builtin_trap();
}

struct Member { uint16_t method; bool descriptor; uint32_t crc, size; Bytes stored; };  // stored: header and data, encrypted

// Little-endian fields one after another: value and width in bytes (zeros past the fourth).
void Put(Bytes& b, std::initializer_list<std::pair<uint32_t, int>> fields) {
  for (const auto& [value, width] : fields)
    for (int i = 0; i < width; ++i) b.push_back(i < 4 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
}

// Local header (sizes left out behind a descriptor), data, descriptor, central directory
// header, end record.
Bytes OneMemberZip(const Member& m) {
  const uint32_t flags = m.descriptor ? 0x0009 : 0x0001, packed = static_cast<uint32_t>(m.stored.size());
  const uint32_t inHeader = m.descriptor ? 0 : 1;
  Bytes zip;
  Put(zip, {{0x04034B50, 4}, {20, 2}, {flags, 2}, {m.method, 2}, {kModTime, 2}, {0x5264, 2}, {m.crc * inHeader, 4},
            {packed * inHeader, 4}, {m.size * inHeader, 4}, {1, 2}, {0, 2}, {'m', 1}});
  zip.insert(zip.end(), m.stored.begin(), m.stored.end());
  if (m.descriptor) Put(zip, {{0x08074B50, 4}, {m.crc, 4}, {packed, 4}, {m.size, 4}});
  const auto directory = static_cast<uint32_t>(zip.size());
  // The name's length, then extra field, comment, disk, attributes and offset, all 0.
  Put(zip, {{0x02014B50, 4}, {20, 2}, {20, 2}, {flags, 2}, {m.method, 2}, {kModTime, 2}, {0x5264, 2}, {m.crc, 4},
            {packed, 4}, {m.size, 4}, {1, 2}, {0, 16}, {'m', 1}});
  const auto directorySize = static_cast<uint32_t>(zip.size()) - directory;
  Put(zip, {{0x06054B50, 4}, {0, 4}, {1, 2}, {1, 2}, {directorySize, 4}, {directory, 4}, {0, 2}});
  return zip;
}

uint32_t AcceptMember(ArchiveContext*) { return 1; }

// The archive core's test of the one member with the password.
ResultCode TestZip(const Bytes& zip, const std::string& password) {
  const std::filesystem::path& path = FuzzFile("qbx-zipcrypto-fuzz", ".zip");
  WriteFuzzFile(path, zip.data(), zip.size());
  ArchiveContext context;
  InitFuzzContext(&context, path, AcceptMember);
  Bytes terminated(password.begin(), password.end());
  terminated.push_back(0);
  context.password = terminated.data();
  ResultCode r = OpenArchive(&context, 0);
  if (r == kResultOk) r = RunMembers(&context, static_cast<int64_t>(context.fileSize), 1);
  CloseArchive(&context);
  return r;
}

// What a raw stream decodes to in one call: kInflateDone, or why not. *whole: it ended
// exactly at the data's end.
InflateResult DecodeAtOnce(InflateFunction decoder, const Bytes& stream, Bytes* out, bool* whole) {
  out->assign(kMaxDecoded, 0);
  InflateStream s{stream.data(), static_cast<uint32_t>(stream.size()), out->data(), kMaxDecoded, NewInflateState(), nullptr};
  const InflateResult r = decoder(&s);
  *whole = r == kInflateDone && s.inputLeft == 0;
  out->resize(kMaxDecoded - s.outputLeft);
  EndInflateStream(&s);
  return r;
}

// 2 and 3.
void CheckMember(const Input& in) {
  const uint32_t kind = in.mode & 3;
  Member m{kind == 1 ? uint16_t{8} : kind == 2 ? uint16_t{9} : uint16_t{0}, (in.mode & 4) != 0, 0, 0, {}};
  Bytes content = in.data;
  bool sound = true;   // the core must accept the member
  bool broken = false; // the core must refuse it
  if (m.method != 0) {
    bool whole = false;
    const InflateResult r = DecodeAtOnce(m.method == 8 ? Inflate : Inflate64, in.data, &content, &whole);
    if (content.size() == kMaxDecoded) return;  // beyond what one input should cost
    sound = whole;
    // Bad data, or data used up before the final block; no data at all is an empty member.
    broken = !in.data.empty() && (r < 0 || r == kInflateProgress);
  }
  m.crc = ModelCrc(content);
  m.size = static_cast<uint32_t>(content.size());
  Bytes plain = in.header;
  plain.push_back(static_cast<uint8_t>(m.descriptor ? kModTime >> 8 : m.crc >> 24));
  plain.insert(plain.end(), in.data.begin(), in.data.end());
  m.stored = ModelCipher(in.password, plain, true);

  Bytes decrypted = m.stored;
  uint32_t keys[3];
  ZipCryptoInit(keys, reinterpret_cast<const uint8_t*>(in.password.c_str()), decrypted.data());
  ZipCryptoDecrypt(keys, decrypted.data() + kZipCryptoHeaderSize, decrypted.size() - kZipCryptoHeaderSize);
  if (decrypted != plain) __builtin_trap();  // the check byte is the header's last

  const ResultCode tested = TestZip(OneMemberZip(m), in.password);
  if (sound && tested != kResultOk) __builtin_trap();
  if (broken && tested == kResultOk) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in;
  if (!Parse(data, size, &in)) return 0;
  const size_t tail = 2 + std::min<size_t>(data[1], size - 2);
  CheckDecryption(in, data + tail, size - tail, ModelCrc(in.data));
  CheckMember(in);
  return 0;
}
