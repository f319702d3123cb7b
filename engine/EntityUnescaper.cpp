// Resolution of character references in decoded cell text. A reference runs from an "&" to the
// first ";" before the next "&" (or the end); it is 4 to 10 code units long, is numeric when
// its second unit is "#", and otherwise must match a row of the entity table exactly. Each
// resolved reference becomes one code unit; anything else stays as written.
//
// References never overlap (each ends before the next "&"), and replacements are written only
// to the output, so one forward pass resolves the same references as working from the last
// "&" back to the first. Looking ahead stops at the next "&" and never goes past the longest
// reference, which keeps the pass linear even on a text made only of "&".
#include "EntityUnescaper.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "EntityTable.h"

namespace gridmint {

namespace {

constexpr std::size_t kShortestReference = 4;  // "&lt;"
constexpr std::size_t kLongestReference = 10;  // "&thetasym;"
constexpr std::uint32_t kHighestAccepted = 0xFFFE;

// The length of the reference that starts at the "&" at `at`, or none when no ";" comes before
// the next "&" within the longest reference's reach (a farther ";" would be too long anyway).
std::optional<std::size_t> referenceLength(std::u16string_view text, std::size_t at) {
    const std::size_t reach = std::min(text.size(), at + kLongestReference);
    for (std::size_t i = at + 1; i < reach; ++i) {
        if (text[i] == u';') return i - at + 1;
        if (text[i] == u'&') return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> digitValue(char16_t unit, std::uint32_t base) {
    std::uint32_t value = base;  // stays out of range unless the unit is a digit
    if (unit >= u'0' && unit <= u'9') value = unit - u'0';
    if (unit >= u'a' && unit <= u'f') value = unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F') value = unit - u'A' + 10;
    if (value >= base) return std::nullopt;
    return value;
}

// The number must fill its text with bare digits: no white space, sign or "0x" is skipped.
// At most 7 digits reach here, so the value cannot overflow.
std::optional<char16_t> numberValue(std::u16string_view digits, std::uint32_t base) {
    if (digits.empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (char16_t unit : digits) {
        const auto digit = digitValue(unit, base);
        if (!digit) return std::nullopt;
        value = value * base + *digit;
    }
    // One code unit: 0 and everything from U+FFFF up (including the astral planes) stay.
    if (value < 1 || value > kHighestAccepted) return std::nullopt;
    return static_cast<char16_t>(value);
}

// `reference` is the whole candidate, "&" and ";" included.
std::optional<char16_t> resolveReference(std::u16string_view reference) {
    const std::size_t length = reference.size();
    if (length < kShortestReference || length > kLongestReference) return std::nullopt;
    if (reference[1] != u'#') return lookupEntity(reference);
    if ((reference[2] | 0x20) == u'x') return numberValue(reference.substr(3, length - 4), 16);
    return numberValue(reference.substr(2, length - 3), 10);
}

}  // namespace

Text unescapeEntities(Text text) {
    if (text.find(u'&') == Text::npos) return text;
    return stringByUnescapingFromHTML(text);
}

Text stringByUnescapingFromHTML(std::u16string_view text) {
    Text result;
    stringByUnescapingFromHTML(text, result);
    return result;
}

void stringByUnescapingFromHTML(std::u16string_view text, Text& result) {
    result.clear();
    result.reserve(text.size());
    std::size_t copied = 0;  // text before this position is already in result
    for (std::size_t at = text.find(u'&'); at != std::u16string_view::npos;
         at = text.find(u'&', at + 1)) {
        const auto length = referenceLength(text, at);
        if (!length) continue;
        const auto unit = resolveReference(text.substr(at, *length));
        if (!unit) continue;
        result.append(text.substr(copied, at - copied));
        result.push_back(*unit);
        copied = at + *length;
    }
    result.append(text.substr(copied));
}

}  // namespace gridmint
