// Resolution of character references: the named references of HTML 4.01 plus "&apos;", and
// decimal and hexadecimal numeric references, each replaced by exactly one UTF-16 code unit.
#pragma once

#include <string_view>

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

}  // namespace gridmint
