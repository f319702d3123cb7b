// Builds the URL that is fetched from a normalised address, with libcurl's URL parser as the
// judge of what is a valid URL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gridmint {

class CurlLibrary;

// The URL for `address`, or nothing when it is not a valid URL even after a second try with
// its unsafe characters percent-escaped. Non-ASCII bytes of the path and query are
// percent-escaped as UTF-8 in the result; a non-ASCII host is left for the resolver. When
// libcurl cannot be loaded no address can be judged: nothing, and `noParser` (when given)
// receives the reason, which stays empty otherwise.
std::optional<std::string> buildUrl(std::string_view address, std::string* noParser = nullptr);

// The same with the URL parser of `library`.
std::optional<std::string> buildUrl(std::string_view address, const CurlLibrary& library,
                                    std::string* noParser = nullptr);

// `text` with every space, control character and ASCII character that may not stand in a
// URL (" < > \ ^ ` { | }) percent-escaped; "%" and everything else stay.
std::string escapeUnsafeAscii(std::string_view text);

}  // namespace gridmint
