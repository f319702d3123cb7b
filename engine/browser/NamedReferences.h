// HTML's named character references, every name with and without its ";" as HTML lists it,
// sorted by the names' bytes.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace gridmint::browser {

struct NamedReference {
    std::string_view name;  // without the "&"; ends in ";" except for the legacy names
    char32_t first;
    char32_t second;  // 0 when the reference stands for one code point
};

extern const std::array<NamedReference, 2231> namedReferences;

// The reference named exactly `name`, or nullptr.
const NamedReference* findNamedReference(std::string_view name);

}  // namespace gridmint::browser
