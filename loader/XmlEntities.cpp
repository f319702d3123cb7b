#include "XmlEntities.h"

#include <array>
#include <cstdint>
#include <optional>

namespace gridmint {

namespace {

struct NamedEntity {
    std::string_view name;  // between "&" and ";"
    char replacement;
};

constexpr std::array<NamedEntity, 5> namedEntities{{
    {"amp", '&'},
    {"lt", '<'},
    {"gt", '>'},
    {"quot", '"'},
    {"apos", '\''},
}};

int digitValue(char c, int base) {
    int value = 36;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// The scalar value of "#NNN" or "#xHHH" (the body of a reference, without "&" and ";").
std::optional<char32_t> numericReference(std::string_view body) {
    if (body.size() < 2 || body[0] != '#') return std::nullopt;
    int base = 10;
    std::string_view digits = body.substr(1);
    if (digits[0] == 'x') {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        const int digit = digitValue(c, base);
        if (digit < 0) return std::nullopt;
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
        if (value > 0x10FFFF) return std::nullopt;
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    return static_cast<char32_t>(value);
}

void appendScalar(std::string& out, char32_t c) {
    auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
    const auto v = static_cast<std::uint32_t>(c);
    if (v < 0x80) {
        put(v);
    } else if (v < 0x800) {
        put(0xC0 | (v >> 6));
        put(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        put(0xE0 | (v >> 12));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    } else {
        put(0xF0 | (v >> 18));
        put(0x80 | ((v >> 12) & 0x3F));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    }
}

// Appends the replacement of the reference body `body`; false when it is no reference.
bool appendReplacement(std::string& out, std::string_view body) {
    for (const auto& entity : namedEntities) {
        if (body == entity.name) {
            out.push_back(entity.replacement);
            return true;
        }
    }
    if (auto scalar = numericReference(body)) {
        appendScalar(out, *scalar);
        return true;
    }
    return false;
}

}  // namespace

std::string replaceXmlEntities(std::string_view utf8) {
    // Longer bodies are left as written (only absurd zero padding makes a reference that
    // long); the bound keeps a stray "&" from searching the rest of the text for a ";".
    constexpr size_t maxBodyLength = 32;
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t amp = utf8.find('&', i);
        if (amp == std::string_view::npos) break;
        out.append(utf8.substr(i, amp - i));
        const std::string_view window = utf8.substr(amp + 1, maxBodyLength + 1);
        const size_t length = window.find(';');
        if (length != std::string_view::npos && appendReplacement(out, window.substr(0, length))) {
            i = amp + 1 + length + 1;  // past the ";"
        } else {
            out.push_back('&');
            i = amp + 1;
        }
    }
    if (i < utf8.size()) out.append(utf8.substr(i));
    return out;
}

}  // namespace gridmint
