// Resolution of character references: the named references of HTML 4.01 plus "&apos;", and
// decimal and hexadecimal numeric references, each replaced by exactly one UTF-16 code unit.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "PaddedBytes.h"
#include "Text.h"

namespace gridmint {

// Text without an "&" is returned as it is (moved, not copied); other text goes through
// stringByUnescapingFromHTML.
Text unescapeEntities(Text text);

// A copy of `text` with every resolvable reference replaced. A reference runs from an "&" to
// the first ";" before the next "&"; anything malformed, out of range or unknown stays.
Text stringByUnescapingFromHTML(std::u16string_view text);
// The same into `result` (replacing its content), so a caller can reuse one buffer.
void stringByUnescapingFromHTML(std::u16string_view text, Text& result);

// A reference that resolves: the code unit it stands for and how many positions it spans.
struct ResolvedReference {
    char16_t codeUnit;
    std::size_t length;
};

// The reference that starts at the "&" at `at`, when it resolves by the rules above. In UTF-8
// bytes it resolves exactly when it would in the decoded text, as every resolvable reference
// is ASCII; so a decoder can resolve references before it decodes the rest of the bytes.
std::optional<ResolvedReference> resolveReferenceAt(std::u16string_view text, std::size_t at);
std::optional<ResolvedReference> resolveReferenceAt(std::string_view utf8, std::size_t at);
// The same in UTF-8 bytes with a readable tail, where the candidate is found in one block.
std::optional<ResolvedReference> resolveReferenceAt(PaddedBytes utf8, std::size_t at);

}  // namespace gridmint
