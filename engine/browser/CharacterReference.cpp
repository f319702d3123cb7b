#include "CharacterReference.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <tuple>

#include "NamedReferences.h"

namespace gridmint::browser {

namespace {

constexpr std::size_t longestName = 32;  // "CounterClockwiseContourIntegral;"

bool isAsciiDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool isAsciiHexDigit(unsigned char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isAsciiAlphanumeric(unsigned char c) {
    return isAsciiDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

// What 0x80 to 0x9F stand for in a numeric reference; 0 keeps the number.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t numericReplacement(char32_t value) {
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
    if (value >= 0x80 && value <= 0x9F && windows1252High[value - 0x80] != 0)
        return windows1252High[value - 0x80];
    return value;
}

ResolvedCharacters numericReference(const char* at, const char* end) {
    const char* p = at + 2;  // after "&#"
    const bool hex = p < end && (*p == 'x' || *p == 'X');
    if (hex) ++p;
    const char* digits = p;
    char32_t value = 0;
    while (p < end && (hex ? isAsciiHexDigit(static_cast<unsigned char>(*p))
                           : isAsciiDigit(static_cast<unsigned char>(*p)))) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const unsigned digit = isAsciiDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
        // Past U+10FFFF the value only has to stay out of range.
        if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + digit;
        ++p;
    }
    if (p == digits) return {};  // "&#" or "&#x" without digits stands for itself
    if (p < end && *p == ';') ++p;
    ResolvedCharacters resolved;
    resolved.length = static_cast<std::size_t>(p - at);
    resolved.codePoints[0] = numericReplacement(value);
    resolved.count = 1;
    return resolved;
}

ResolvedCharacters namedReference(const char* at, const char* end, bool inAttribute) {
    const char* name = at + 1;
    const char* p = name;
    while (p < end && static_cast<std::size_t>(p - name) < longestName &&
           isAsciiAlphanumeric(static_cast<unsigned char>(*p)))
        ++p;
    const std::size_t run = static_cast<std::size_t>(p - name);
    const NamedReference* found = nullptr;
    std::size_t length = 0;
    if (p < end && *p == ';') {
        found = findNamedReference(std::string_view(name, run + 1));
        length = run + 1;
    }
    // Only the legacy names, which are prefixes of a run of letters, match without ";".
    for (std::size_t n = run; !found && n > 0; --n) {
        found = findNamedReference(std::string_view(name, n));
        length = n;
    }
    if (!found) return {};
    if (inAttribute && name[length - 1] != ';' && name + length < end &&
        (name[length] == '=' || isAsciiAlphanumeric(static_cast<unsigned char>(name[length]))))
        return {};
    ResolvedCharacters resolved;
    resolved.length = length + 1;
    resolved.codePoints[0] = found->first;
    resolved.codePoints[1] = found->second;
    resolved.count = found->second ? 2 : 1;
    return resolved;
}

}  // namespace

namespace {

std::uint32_t referenceHash(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// The names in a hash table with open addressing, at most a quarter full, built at the first
// lookup: a page with many references pays one or two probes for each.
class ReferenceIndex {
  public:
    ReferenceIndex() {
        slots_.fill(empty);
        for (std::size_t i = 0; i < namedReferences.size(); ++i) {
            std::size_t slot = referenceHash(namedReferences[i].name) & mask;
            while (slots_[slot] != empty) slot = (slot + 1) & mask;
            slots_[slot] = static_cast<std::uint16_t>(i);
        }
    }

    const NamedReference* find(std::string_view name) const {
        for (std::size_t slot = referenceHash(name) & mask;; slot = (slot + 1) & mask) {
            if (slots_[slot] == empty) return nullptr;
            const NamedReference& entry = namedReferences[slots_[slot]];
            if (entry.name == name) return &entry;
        }
    }

  private:
    static constexpr std::size_t slotCount = 16384;
    static constexpr std::size_t mask = slotCount - 1;
    static constexpr std::uint16_t empty = 0xFFFF;
    static_assert(std::tuple_size_v<decltype(namedReferences)> * 4 <= slotCount);
    std::array<std::uint16_t, slotCount> slots_;
};

}  // namespace

const NamedReference* findNamedReference(std::string_view name) {
    static const ReferenceIndex index;
    return index.find(name);
}

ResolvedCharacters resolveCharacterReference(const char* at, const char* end, bool inAttribute) {
    if (at + 1 >= end) return {};
    const unsigned char next = static_cast<unsigned char>(at[1]);
    if (next == '#') return numericReference(at, end);
    if (isAsciiAlphanumeric(next)) return namedReference(at, end, inAttribute);
    return {};
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace gridmint::browser
