// Turns what the user typed into an address: a bare host gets "http://", a local path
// becomes a "file://" address with its path percent-encoded, anything with "://" is kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gridmint {

// The address for `typed`, as UTF-8. Rules, the first that applies wins (lengths count
// UTF-16 code units; white space is not trimmed):
//   starts with "/"                  "file://" + path
//   starts with "~/", home known     "file://" + home + path
//   length 6 or less                 "http://" + text
//   holds "://"                      text unchanged
//   anything else                    "http://" + text
// A path has its XML entities replaced, then every byte that may not stand in a URL path
// (space, "#", "%", "?", non-ASCII, …) percent-encoded.
std::string normaliseAddress(std::u16string_view typed,
                             const std::optional<std::string>& homeDirectory);

// The user's home folder: $HOME, else the password database; nothing when neither gives an
// absolute path.
std::optional<std::string> homeDirectory();

// Percent-encodes every byte of `path` except unreserved characters, sub-delimiters, ":",
// "@" and "/", so the result is a valid URL path that decodes back to the same bytes.
std::string percentEncodePath(std::string_view path);

}  // namespace gridmint
