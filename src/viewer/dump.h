// Hexadecimal and character dumps of a page of bytes, as the viewer shows them.
#pragma once

#include <cstdint>
#include <string>

inline constexpr uint32_t kHexDumpLineBytes = 32;
inline constexpr uint32_t kTextDumpNarrow = 64;
inline constexpr uint32_t kTextDumpWide = 128;

// 32 bytes a line: offset (base + index, 32-bit, 8 lowercase digits), two spaces, the bytes
// as uppercase pairs in four groups of eight. Full lines end in CR LF, a short last line not.
std::u16string HexDump(const uint8_t* bytes, uint32_t count, uint64_t baseOffset);
// bytesPerLine bytes a line after the offset; control characters, space, 0x80 to 0xA0 and
// 127 show as spaces, other bytes as the character of the same value.
std::u16string TextDump(const uint8_t* bytes, uint32_t count, uint32_t bytesPerLine,
                        uint64_t baseOffset);

// Exact lengths of the two dumps, so each is built in one allocation.
uint64_t HexDumpLength(uint32_t count);
uint64_t TextDumpLength(uint32_t count, uint32_t bytesPerLine);
