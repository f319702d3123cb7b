// Character references as HTML resolves them: the named references with and without their
// ";" where HTML allows it, and decimal and hexadecimal numbers with the replacements HTML
// makes (windows-1252 for 0x80 to 0x9F, U+FFFD for zero, surrogates and beyond U+10FFFF).
#pragma once

#include <cstddef>
#include <string>

namespace gridmint::browser {

struct ResolvedCharacters {
    std::size_t length = 0;  // bytes taken from the "&" on; 0 when the "&" stands for itself
    char32_t codePoints[2] = {0, 0};
    int count = 0;
};

// The reference that starts at the "&" at `at`. In an attribute value a named reference
// without ";" followed by "=" or a letter or digit stands for itself, as HTML says.
ResolvedCharacters resolveCharacterReference(const char* at, const char* end, bool inAttribute);

// The code point written as UTF-8 at the end of `out`.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace gridmint::browser
