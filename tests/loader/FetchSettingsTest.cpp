// The fetch limits taken from the settings: only a positive number replaces a default, so a
// zero or a slip of the sign can never make every fetch fail at once.
#include "FetchSettings.h"

#include <gtest/gtest.h>

#include <array>

namespace gridmint {
namespace {

using namespace std::chrono_literals;

TEST(FetchSettings, onlyPositiveNumbersReplaceTheDefaults) {
    const FetchOptions standard;
    struct Case {
        const char* name;
        std::optional<long> seconds;
        std::optional<long> bytes;
        std::chrono::milliseconds timeout;
        size_t maxBodyBytes;
    };
    const std::array<Case, 5> cases{{
        {"absent", std::nullopt, std::nullopt, standard.idleTimeout, standard.maxBodyBytes},
        {"zero", 0L, 0L, standard.idleTimeout, standard.maxBodyBytes},
        {"negative", -5L, -1L, standard.idleTimeout, standard.maxBodyBytes},
        {"positive", 2L, 4096L, 2s, 4096},
        {"hugeTimeoutHeldToAYear", 1L << 62, 1L, 24h * 365, 1},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InMemoryDefaults settings;
        if (c.seconds) settings.set(defaultsKey::fetchTimeoutSeconds, *c.seconds);
        if (c.bytes) settings.set(defaultsKey::fetchMaxBodyBytes, *c.bytes);
        const FetchOptions options = fetchOptionsFromSettings(settings);
        EXPECT_EQ(options.idleTimeout, c.timeout);
        EXPECT_EQ(options.connectTimeout, c.seconds > 0L ? c.timeout : standard.connectTimeout);
        EXPECT_EQ(options.maxBodyBytes, c.maxBodyBytes);
    }
}

}  // namespace
}  // namespace gridmint
