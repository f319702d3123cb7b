// Finding the charset that a page declares in its head, and mapping a charset name to an
// encoding number.
#include <algorithm>
#include <string>

#include "HTMLTableParser.h"

namespace gridmint {

namespace {

constexpr size_t npos = std::string_view::npos;

// Start of the first occurrence of `pattern` lying wholly inside [0, limit) of `bytes`.
size_t findBefore(std::string_view bytes, std::string_view pattern, size_t limit) {
    return bytes.substr(0, limit).find(pattern);
}

// The end of the head: the first "body", else the first "BODY", else the last byte. Only
// these two spellings count, and "body" may be part of a longer word such as "tbody".
size_t headBound(std::string_view bytes) {
    size_t bound = bytes.find("body");
    if (bound == npos) bound = bytes.find("BODY");
    if (bound == npos) bound = bytes.size() - 1;
    return bound;
}

bool isTrimmedCharsetByte(char c) {
    return c == ' ' || c == '=' || c == '"' || c == '\'';
}

unsigned char asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// Substring test that ignores ASCII case; charset names are case-insensitive.
bool containsIgnoringCase(std::string_view text, std::string_view pattern) {
    auto it =
        std::search(text.begin(), text.end(), pattern.begin(), pattern.end(), [](char a, char b) {
            return asciiLower(static_cast<unsigned char>(a)) ==
                   asciiLower(static_cast<unsigned char>(b));
        });
    return it != text.end() || pattern.empty();
}

TextEncoding chineseEncodingForCharset(std::string_view charset) {
    const TextEncoding provisional = containsIgnoringCase(charset, "2312") ? encoding::gbk : 0;
    if (containsIgnoringCase(charset, "HZ-GB-2312")) return encoding::hzGB2312;
    if (containsIgnoringCase(charset, "2312-80")) return encoding::gb2312;
    if (containsIgnoringCase(charset, "Big5")) return encoding::big5;
    return provisional;
}

}  // namespace

std::optional<std::string> HTMLTableParser::extractCharsetFromHTML(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    const size_t bound = headBound(bytes);
    size_t match = findBefore(bytes, "charset", bound);
    if (match == npos) match = findBefore(bytes, "CHARSET", bound);
    if (match == npos) return std::nullopt;

    const size_t valueStart = match + 7;
    const size_t close = bytes.substr(0, bound).find('>', valueStart);
    if (close == npos) return std::nullopt;

    std::string_view run = bytes.substr(valueStart, close - valueStart);
    if (std::any_of(run.begin(), run.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        return std::nullopt;
    }
    while (!run.empty() && isTrimmedCharsetByte(run.front())) run.remove_prefix(1);
    while (!run.empty() && isTrimmedCharsetByte(run.back())) run.remove_suffix(1);
    return std::string(run);
}

// Substring tests in a fixed order; the first that decides gives the encoding. The order
// matters: "ISO-8859-15" is Latin-1, "HZ-GB-2312" is HZ although it holds "2312".
TextEncoding HTMLTableParser::encodingForCharset(std::string_view charset) {
    if (containsIgnoringCase(charset, "8859-1") && !containsIgnoringCase(charset, "8859-10")) {
        return encoding::isoLatin1;
    }
    if (containsIgnoringCase(charset, "8859-2")) return encoding::isoLatin2;
    if (containsIgnoringCase(charset, "1252")) return encoding::windows1252;
    if (containsIgnoringCase(charset, "620")) return encoding::tis620;
    if (containsIgnoringCase(charset, "874")) return encoding::windows874;
    if (containsIgnoringCase(charset, "Shift_JIS")) return encoding::shiftJIS;
    return chineseEncodingForCharset(charset);
}

}  // namespace gridmint
