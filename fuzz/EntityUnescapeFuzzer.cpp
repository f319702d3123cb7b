// Reference resolution on any text. The engine resolves references in one forward pass; this
// target holds it against a plain backward walk (from the last "&" to the first, each
// reference ending at the first ";" before the following "&"), checks that both entry points
// and the reused-buffer form agree, and that cutting the text just before an "&" resolves
// each part on its own: no reference reaches across an "&".
//
// Input: one byte picks the text form (bit 0: pairs of bytes as UTF-16 units, else one byte
// per unit) and one byte where to cut; the rest is the text.
#include <cstdint>
#include <optional>
#include <string>

#include "EntityTable.h"
#include "EntityUnescaper.h"
#include "FuzzChecks.h"
#include "FuzzInput.h"

namespace gridmint::fuzz {
namespace {

// Bare digits only, 1 to U+FFFE.
std::optional<char16_t> numericValue(std::u16string_view digits, unsigned base) {
    if (digits.empty()) return std::nullopt;
    unsigned long value = 0;
    for (char16_t c : digits) {
        unsigned digit = 0;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    if (value < 1 || value > 0xFFFE) return std::nullopt;
    return static_cast<char16_t>(value);
}

std::optional<char16_t> namedValue(std::u16string_view reference) {
    for (const EntityReference& row : entityTable) {
        if (row.reference == reference) return row.codeUnit;
    }
    return std::nullopt;
}

// The backward walk: positions before the current "&" are still as in the input, so each
// replacement can be made in place in the copy.
Text referenceResolution(std::u16string_view text) {
    Text result(text);
    size_t limit = text.size();
    for (size_t a = text.rfind(u'&'); a != std::u16string_view::npos;
         a = a == 0 ? std::u16string_view::npos : text.rfind(u'&', a - 1)) {
        const size_t p = text.substr(0, limit).find(u';', a);
        limit = a;
        if (p == std::u16string_view::npos) continue;
        const std::u16string_view candidate = text.substr(a, p - a + 1);
        const size_t length = candidate.size();
        if (length < 4 || length > 10) continue;
        std::optional<char16_t> unit;
        if (candidate[1] == u'#') {
            unit = (candidate[2] | 0x20) == u'x'
                       ? numericValue(candidate.substr(3, length - 4), 16)
                       : numericValue(candidate.substr(2, length - 3), 10);
        } else {
            unit = namedValue(candidate);
        }
        if (unit) result.replace(a, length, 1, *unit);
    }
    return result;
}

}  // namespace
}  // namespace gridmint::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace gridmint;
    using namespace gridmint::fuzz;

    FuzzInput input(data, size);
    const bool pairs = (input.takeByte() & 1) != 0;
    const std::uint8_t cut = input.takeByte();
    const Text text = textFromBytes(input.rest(), pairs);

    const Text resolved = stringByUnescapingFromHTML(text);
    require(resolved == referenceResolution(text), "differs from the backward walk");
    require(unescapeEntities(text) == resolved, "unescapeEntities differs");
    require(stringByUnescapingFromHTML(text) == resolved, "the same text resolved twice differs");
    require(resolved.size() <= text.size(), "resolution made the text longer");
    if (text.find(u'&') == Text::npos) require(resolved == text, "text without \"&\" changed");

    Text reused = u"left over from an earlier call &amp;";
    stringByUnescapingFromHTML(text, reused);
    require(reused == resolved, "the reused-buffer form differs");

    // Cut before the first "&" at or after a position chosen by the input.
    const size_t at = text.find(u'&', text.size() * cut / 256);
    if (at != Text::npos) {
        const std::u16string_view whole = text;
        require(stringByUnescapingFromHTML(whole.substr(0, at)) +
                        stringByUnescapingFromHTML(whole.substr(at)) ==
                    resolved,
                "a reference reached across an \"&\"");
    }
    return 0;
}
