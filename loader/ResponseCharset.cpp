#include "ResponseCharset.h"

#include <array>

namespace gridmint {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view lower) {
    if (a.size() != lower.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lower[i]) return false;
    }
    return true;
}

std::string_view trimSpaces(std::string_view text) {
    constexpr std::string_view spaces = " \t";
    const size_t first = text.find_first_not_of(spaces);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(spaces) - first + 1);
}

struct CharsetName {
    std::string_view name;  // lower case
    TextEncoding encoding;
};

// The names that servers send for the encodings we decode.
constexpr std::array<CharsetName, 16> charsetNames{{
    {"utf-8", encoding::utf8},
    {"us-ascii", encoding::ascii},
    {"iso-8859-1", encoding::isoLatin1},
    {"iso-8859-2", encoding::isoLatin2},
    {"shift_jis", encoding::shiftJIS},
    {"windows-1252", encoding::windows1252},
    {"utf-16", encoding::utf16},
    {"tis-620", encoding::tis620},
    {"iso-8859-11", encoding::tis620},
    {"windows-874", encoding::windows874},
    {"gbk", encoding::gbk},
    {"gb2312", encoding::gbk},  // pages so labelled are GBK in practice
    {"hz-gb-2312", encoding::hzGB2312},
    {"gb_2312-80", encoding::gb2312},
    {"big5", encoding::big5},
    {"big5-hkscs", encoding::big5},
}};

}  // namespace

std::optional<std::string_view> charsetParameter(std::string_view contentType) {
    // type/subtype *( ";" name "=" value ), value a token or a quoted string.
    size_t semicolon = contentType.find(';');
    while (semicolon != std::string_view::npos) {
        const size_t next = contentType.find(';', semicolon + 1);
        const std::string_view parameter = contentType.substr(
            semicolon + 1,
            next == std::string_view::npos ? std::string_view::npos : next - semicolon - 1);
        const size_t equals = parameter.find('=');
        if (equals != std::string_view::npos &&
            equalsIgnoringAsciiCase(trimSpaces(parameter.substr(0, equals)), "charset")) {
            std::string_view value = trimSpaces(parameter.substr(equals + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            return value;
        }
        semicolon = next;
    }
    return std::nullopt;
}

TextEncoding encodingForResponseCharset(std::string_view charset) {
    for (const auto& entry : charsetNames) {
        if (equalsIgnoringAsciiCase(charset, entry.name)) return entry.encoding;
    }
    return encoding::none;
}

TextEncoding encodingFromByteOrderMark(std::string_view body) {
    if (body.substr(0, 3) == "\xEF\xBB\xBF") return encoding::utf8;
    if (body.substr(0, 2) == "\xFE\xFF" || body.substr(0, 2) == "\xFF\xFE") {
        return encoding::utf16;
    }
    return encoding::none;
}

TextEncoding detectResponseEncoding(const std::optional<std::string>& contentType,
                                    std::string_view body) {
    TextEncoding detected = encoding::none;
    if (contentType) {
        if (auto charset = charsetParameter(*contentType)) {
            detected = encodingForResponseCharset(*charset);
        }
    }
    if (detected == encoding::none) detected = encodingFromByteOrderMark(body);
    return detected == encoding::none ? encoding::utf8 : detected;
}

}  // namespace gridmint
