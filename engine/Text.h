// Basic value types of the engine: text as UTF-16 code units, a row of separately held cell
// texts (as builders gather them; a finished table is packed, see Table.h), and the numbers
// that name text encodings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gridmint {

// Text is a sequence of UTF-16 code units; every length and position counts code units.
// A numeric character reference yields one code unit, so lone surrogates can occur.
using Text = std::u16string;
using Row = std::vector<Text>;

// A text encoding number; 0 means none. Encodings outside the basic set are held as their
// Core Foundation number with bit 31 set, which is what stored settings and peers expect.
using TextEncoding = std::uint64_t;

namespace encoding {
inline constexpr TextEncoding none = 0;
inline constexpr TextEncoding ascii = 1;
inline constexpr TextEncoding utf8 = 4;
inline constexpr TextEncoding isoLatin1 = 5;
inline constexpr TextEncoding shiftJIS = 8;
inline constexpr TextEncoding isoLatin2 = 9;
inline constexpr TextEncoding utf16 = 10;
inline constexpr TextEncoding windows1252 = 12;
inline constexpr TextEncoding coreFoundationBit = 0x80000000u;
inline constexpr TextEncoding tis620 = coreFoundationBit | 0x020B;
inline constexpr TextEncoding windows874 = coreFoundationBit | 0x041D;
inline constexpr TextEncoding gbk = coreFoundationBit | 0x0421;
inline constexpr TextEncoding hzGB2312 = coreFoundationBit | 0x0A05;
inline constexpr TextEncoding gb2312 = coreFoundationBit | 0x0630;
inline constexpr TextEncoding big5 = coreFoundationBit | 0x0A03;
}  // namespace encoding

}  // namespace gridmint
