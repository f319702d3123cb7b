// Reading a fuzz input: a few leading bytes that choose the settings of a run, then the
// rest as the data under test. Short inputs read as zeros, so every input is usable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Text.h"

namespace gridmint::fuzz {

// Every encoding number the engine knows, "none" included: the fuzz targets pick one with a
// byte of their input.
inline constexpr TextEncoding knownEncodings[] = {
    encoding::none,     encoding::ascii,      encoding::utf8,  encoding::isoLatin1,
    encoding::shiftJIS, encoding::isoLatin2,  encoding::utf16, encoding::windows1252,
    encoding::tis620,   encoding::windows874, encoding::gbk,   encoding::hzGB2312,
    encoding::gb2312,   encoding::big5,
};
inline constexpr size_t knownEncodingCount = sizeof(knownEncodings) / sizeof(knownEncodings[0]);

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, size_t size)
        : bytes_(reinterpret_cast<const char*>(data), size) {}

    // The next byte, or 0 once the input is used up.
    std::uint8_t takeByte() {
        if (bytes_.empty()) return 0;
        const auto b = static_cast<std::uint8_t>(bytes_.front());
        bytes_.remove_prefix(1);
        return b;
    }

    TextEncoding takeEncoding() { return knownEncodings[takeByte() % knownEncodingCount]; }

    // Everything not taken yet.
    std::string_view rest() const { return bytes_; }

  private:
    std::string_view bytes_;
};

// Text from bytes in one of two ways: each byte one code unit (so ASCII markup is easy for
// the fuzzer to write), or each pair of bytes one little-endian code unit (so every unit,
// lone surrogates included, can occur). An odd last byte is dropped in the second form.
inline Text textFromBytes(std::string_view bytes, bool pairs) {
    Text text;
    if (!pairs) {
        text.reserve(bytes.size());
        for (char b : bytes) text.push_back(static_cast<unsigned char>(b));
        return text;
    }
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return text;
}

}  // namespace gridmint::fuzz
