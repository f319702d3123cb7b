// The named character references: the 252 of HTML 4.01 and "&apos;", ordered by code point.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "PaddedBytes.h"

namespace gridmint {

struct EntityReference {
    std::u16string_view reference;  // as written: "&amp;"
    char16_t codeUnit;
};

extern const std::array<EntityReference, 253> entityTable;

// The code unit of a whole reference ("&" and ";" included), case-sensitive; none if unknown.
std::optional<char16_t> lookupEntity(std::u16string_view reference);

// The same for the name alone, the part between "&" and ";": as ASCII bytes (found in UTF-8
// text before it is decoded) or as text.
std::optional<char16_t> lookupEntityName(std::string_view name);
std::optional<char16_t> lookupEntityName(std::u16string_view name);
// The same for a name in bytes with a readable tail, read as one word.
std::optional<char16_t> lookupEntityName(PaddedBytes name);

}  // namespace gridmint
