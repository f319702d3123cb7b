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
#include <type_traits>

#include "ByteBlock.h"
#include "EntityTable.h"

namespace gridmint {

namespace {

constexpr std::size_t kShortestReference = 4;  // "&lt;"
constexpr std::size_t kLongestReference = 10;  // "&thetasym;"
constexpr std::uint32_t kHighestAccepted = 0xFFFE;

template <typename Char>
constexpr std::uint32_t unitAt(std::basic_string_view<Char> text, std::size_t i) {
    return static_cast<std::make_unsigned_t<Char>>(text[i]);
}

// The length of the reference that starts at the "&" at `at`, or none when no ";" comes before
// the next "&" within the longest reference's reach (a farther ";" would be too long anyway).
// A unit beyond ASCII also ends the search: names and digits are ASCII, so a candidate holding
// one never resolves. That makes the outcome the same whether the text is counted in UTF-16
// units or in UTF-8 bytes, where such a character spans several positions.
template <typename Char>
std::optional<std::size_t> referenceLength(std::basic_string_view<Char> text, std::size_t at) {
    const std::size_t reach = std::min(text.size(), at + kLongestReference);
    for (std::size_t i = at + 1; i < reach; ++i) {
        const std::uint32_t unit = unitAt(text, i);
        if (unit == ';') return i - at + 1;
        if (unit == '&' || unit >= 0x80) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> digitValue(std::uint32_t unit, std::uint32_t base) {
    std::uint32_t value = base;  // stays out of range unless the unit is a digit
    if (unit >= '0' && unit <= '9') value = unit - '0';
    if (unit >= 'a' && unit <= 'f') value = unit - 'a' + 10;
    if (unit >= 'A' && unit <= 'F') value = unit - 'A' + 10;
    if (value >= base) return std::nullopt;
    return value;
}

// The number must fill its text with bare digits: no white space, sign or "0x" is skipped.
// At most 7 digits reach here, so the value cannot overflow.
template <typename Char>
std::optional<char16_t> numberValue(std::basic_string_view<Char> digits, std::uint32_t base) {
    if (digits.empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto digit = digitValue(unitAt(digits, i), base);
        if (!digit) return std::nullopt;
        value = value * base + *digit;
    }
    // One code unit: 0 and everything from U+FFFF up (including the astral planes) stay.
    if (value < 1 || value > kHighestAccepted) return std::nullopt;
    return static_cast<char16_t>(value);
}

// `reference` is the whole candidate, "&" and ";" included.
template <typename Char>
std::optional<char16_t> resolveReference(std::basic_string_view<Char> reference) {
    const std::size_t length = reference.size();
    if (length < kShortestReference || length > kLongestReference) return std::nullopt;
    if (reference[1] != '#') return lookupEntityName(reference.substr(1, length - 2));
    if ((unitAt(reference, 2) | 0x20) == 'x') {
        return numberValue(reference.substr(3, length - 4), 16);
    }
    return numberValue(reference.substr(2, length - 3), 10);
}

template <typename Char>
std::optional<ResolvedReference> resolveAt(std::basic_string_view<Char> text, std::size_t at) {
    const auto length = referenceLength(text, at);
    if (!length) return std::nullopt;
    const auto unit = resolveReference(text.substr(at, *length));
    if (!unit) return std::nullopt;
    return ResolvedReference{*unit, *length};
}

#if defined(__SSE2__)
// referenceLength with the units from the "&" on read as one block: the first ";" closes the
// candidate unless an "&" or a byte beyond ASCII comes before it.
std::optional<std::size_t> referenceLengthInBlock(PaddedBytes utf8, std::size_t at) {
    using namespace byteblock;
    const __m128i block = load(reinterpret_cast<const unsigned char*>(utf8.data()) + at);
    const unsigned searched = firstBytes(std::min(utf8.size() - at, kLongestReference)) & ~1u;
    const unsigned semicolons = equalTo(block, ';') & searched;
    if (semicolons == 0) return std::nullopt;
    const int semicolon = __builtin_ctz(semicolons);
    const unsigned cuts = (equalTo(block, '&') | maskOf(block)) & searched;
    if ((cuts & firstBytes(semicolon)) != 0) return std::nullopt;
    return static_cast<std::size_t>(semicolon) + 1;
}
#endif

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
        const auto reference = resolveAt(text, at);
        if (!reference) continue;
        result.append(text.substr(copied, at - copied));
        result.push_back(reference->codeUnit);
        copied = at + reference->length;
    }
    result.append(text.substr(copied));
}

std::optional<ResolvedReference> resolveReferenceAt(std::u16string_view text, std::size_t at) {
    return resolveAt(text, at);
}

std::optional<ResolvedReference> resolveReferenceAt(std::string_view utf8, std::size_t at) {
    return resolveAt(utf8, at);
}

std::optional<ResolvedReference> resolveReferenceAt(PaddedBytes utf8, std::size_t at) {
#if defined(__SSE2__)
    const auto length = referenceLengthInBlock(utf8, at);
    if (!length || *length < kShortestReference) return std::nullopt;
    const auto unit = utf8.data()[at + 1] == '#'
                          ? resolveReference(utf8.view().substr(at, *length))
                          : lookupEntityName(utf8.substr(at + 1, *length - 2));
    if (!unit) return std::nullopt;
    return ResolvedReference{*unit, *length};
#else
    return resolveAt(utf8.view(), at);
#endif
}

}  // namespace gridmint
