#include "FetchSettings.h"

#include <algorithm>
#include <chrono>

namespace gridmint {

FetchOptions fetchOptionsFromSettings(const Defaults& defaults) {
    FetchOptions options;
    if (const long seconds = defaults.integerForKey(defaultsKey::fetchTimeoutSeconds);
        seconds > 0) {
        // Held to a year, so that a huge number cannot overflow the milliseconds.
        constexpr long longest = 365L * 24 * 3600;
        const std::chrono::milliseconds timeout = std::chrono::seconds(std::min(seconds, longest));
        options.connectTimeout = timeout;
        options.idleTimeout = timeout;
    }
    if (const long bytes = defaults.integerForKey(defaultsKey::fetchMaxBodyBytes); bytes > 0) {
        options.maxBodyBytes = static_cast<size_t>(bytes);
    }
    return options;
}

}  // namespace gridmint
