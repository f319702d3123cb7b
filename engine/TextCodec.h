// Decoding bytes in a numbered text encoding, strictly: any byte sequence that is invalid or
// unmappable in the encoding makes the decoding fail, with no replacement characters. The
// only file of the engine that talks to ICU.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "Text.h"

namespace gridmint {

class TextDecoder {
  public:
    explicit TextDecoder(TextEncoding encoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    TextEncoding encoding() const { return encoding_; }
    // The text, or nothing when the bytes do not decode (or the encoding is unknown).
    std::optional<Text> decode(std::string_view bytes);
    // The same into `out` (replacing its content); false when the bytes do not decode.
    bool decode(std::string_view bytes, Text& out);

  private:
    struct Converter;
    TextEncoding encoding_;
    std::unique_ptr<Converter> converter_;  // opened on first use, kept for later calls
};

// One-off decoding; prefer a TextDecoder when decoding many pieces.
std::optional<Text> decodeBytes(std::string_view bytes, TextEncoding encoding);

// Unicode's White_Space property beyond ASCII.
bool isNonAsciiWhiteSpace(char16_t c);

// Unicode's White_Space property: the white space and line breaks that trimming removes.
inline bool isWhiteSpace(char16_t c) {
    if (c < 0x80) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    return isNonAsciiWhiteSpace(c);
}

}  // namespace gridmint
