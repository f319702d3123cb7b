// The limits of a fetch that the user may change in the settings: how long a silent server
// is waited for and how large a page may grow. The defaults suit the web; a smaller cap or a
// shorter wait suits a slow link or a machine short of memory.
#pragma once

#include <string_view>

#include "Defaults.h"
#include "Fetcher.h"

namespace gridmint {

namespace defaultsKey {
// Seconds to wait for a connection, and then for each next byte of the answer.
inline constexpr std::string_view fetchTimeoutSeconds = "fetchTimeoutSeconds";
// The largest body accepted, in bytes.
inline constexpr std::string_view fetchMaxBodyBytes = "fetchMaxBodyBytes";
}  // namespace defaultsKey

// The standard limits, with each one that the settings hold (as a positive number) in its
// place.
FetchOptions fetchOptionsFromSettings(const Defaults& defaults);

}  // namespace gridmint
