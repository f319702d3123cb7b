// Conversions between UTF-8 bytes and UTF-16 text that need no converter: the fast, strict
// path used for most pages, and the way text leaves the system as UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Text.h"

namespace gridmint {

// Strict UTF-8: overlong forms, encoded surrogates and code points above U+10FFFF fail.
std::optional<Text> decodeUtf8(std::string_view bytes);
// The same into `out` (replacing its content); false when the bytes are not strict UTF-8.
bool decodeUtf8(std::string_view bytes, Text& out);

// Decodes one strict UTF-8 sequence starting at `p` (a lead byte of 0x80 or more), of at
// most `available` bytes; returns its length, or 0 when it is invalid.
int decodeUtf8Sequence(const unsigned char* p, size_t available, char32_t& codePoint);

// True when the bytes are strict UTF-8 (the rules of decodeUtf8).
bool isValidUtf8(std::string_view bytes);

// Each byte becomes the code unit of the same value (ISO-8859-1).
Text decodeLatin1(std::string_view bytes);
void decodeLatin1(std::string_view bytes, Text& out);

// The code units of UTF-16 bytes in the given byte order; an odd last byte becomes U+FFFD.
// Surrogates are kept as they are, paired or not.
Text decodeUtf16(std::string_view bytes, bool bigEndian);

// UTF-8 of the text; a lone surrogate is written as U+FFFD.
std::string toUtf8(std::u16string_view text);
void appendUtf8(std::string& out, std::u16string_view text);

// The text of a UTF-8 literal or ASCII string; invalid sequences become U+FFFD.
Text fromUtf8(std::string_view bytes);

}  // namespace gridmint
