// Making a link's address absolute: a relative reference merged with a base address by the
// generic URI rules (split into scheme, authority, path, query and fragment; the reference's
// parts replace the base's from the first one it gives; "." and ".." path segments removed).
// Addresses are UTF-8 and are not percent-encoded or otherwise normalised, so what a page
// wrote stays recognisable.
#pragma once

#include <string>
#include <string_view>

namespace gridmint {

// `reference` resolved against `base`. Before anything, white space and control characters
// around an address are dropped and tabs and line breaks inside it removed, as browsers read
// an address. The reference comes back as written (so cleaned) when it has a scheme but no
// hierarchy ("javascript:…", "mailto:…", "data:…"), and when the base cannot serve as one
// (a scheme without hierarchy). A base without a scheme (a relative <base href> in a page
// that has no address) is merged all the same, giving a relative result.
std::string resolveReference(std::string_view base, std::string_view reference);

// `address` with the white space and controls around it dropped and tabs, line feeds and
// carriage returns inside it removed.
std::string cleanedAddress(std::string_view address);

// A path with its "." and ".." segments removed ("/a/b/../c/./d" gives "/a/c/d"); ".." never
// climbs above the root.
std::string removeDotSegments(std::string_view path);

}  // namespace gridmint
