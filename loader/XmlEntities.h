// The XML entity replacement applied to typed local paths: the five predefined entities and
// numeric character references, nothing else, in UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace gridmint {

// Replaces "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#NNN;" and "&#xHHH;". A reference
// that is unknown, malformed or names no Unicode scalar value (0, a surrogate, beyond
// U+10FFFF) stays as written.
std::string replaceXmlEntities(std::string_view utf8);

}  // namespace gridmint
