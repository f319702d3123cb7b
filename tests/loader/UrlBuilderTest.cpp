#include "UrlBuilder.h"

#include <gtest/gtest.h>

#include <array>

namespace gridmint {
namespace {

using namespace std::string_view_literals;

// Escapes compare without regard to the case of their hex digits, which the URL parser may
// change.
std::string upperCaseEscapes(std::string url) {
    for (size_t i = 0; i + 2 < url.size(); ++i) {
        if (url[i] != '%') continue;
        for (size_t k = i + 1; k <= i + 2; ++k) {
            if (url[k] >= 'a' && url[k] <= 'f') url[k] = static_cast<char>(url[k] - 'a' + 'A');
        }
    }
    return url;
}

struct UrlCase {
    const char* name;
    std::string_view address;
    std::optional<std::string_view> expected;
};

const std::array<UrlCase, 14> urlCases{{
    {"plain", "http://example.com/a/b.html", "http://example.com/a/b.html"},
    {"hostGetsPath", "http://ab.cd", "http://ab.cd/"},
    {"spaceEscapedOnRetry", "http://example.com/a b.html", "http://example.com/a%20b.html"},
    {"nonAsciiPathAndQueryEscaped", "http://example.com/\xc3\xa4?q=\xc3\xa9",
     "http://example.com/%C3%A4?q=%C3%A9"},
    {"unsafeAsciiEscaped", "http://example.com/a\"b<c>{d}",
     "http://example.com/a%22b%3Cc%3E%7Bd%7D"},
    {"existingEscapesKept", "file:///tmp/a%20b%23.html", "file:///tmp/a%20b%23.html"},
    {"queryKept", "http://example.com/t?a=1&b=2", "http://example.com/t?a=1&b=2"},
    {"anySchemeIsAUrl", "gopher://example.com/x", "gopher://example.com/x"},
    {"nulEscapedNotCut", "http://example.com/a\0b"sv, "http://example.com/a%00b"},
    {"tabEscaped", "http://example.com/a\tb", "http://example.com/a%09b"},
    {"noHost", "http://", std::nullopt},
    {"spaceInHost", "http://exa mple.com/", std::nullopt},
    {"portOutOfRange", "http://example.com:99999/", std::nullopt},
    {"noScheme", "example.com/page", std::nullopt},
}};

TEST(UrlBuilder, buildTable) {
    for (const auto& c : urlCases) {
        SCOPED_TRACE(c.name);
        const auto url = buildUrl(c.address);
        ASSERT_EQ(url.has_value(), c.expected.has_value()) << url.value_or("(none)");
        if (url) {
            EXPECT_EQ(upperCaseEscapes(*url), *c.expected);
        }
    }
}

TEST(UrlBuilder, retryEscapesOnlyUnsafeAscii) {
    EXPECT_EQ(escapeUnsafeAscii("a b%20\x7f|\xc3\xa9"), "a%20b%20%7F%7C\xc3\xa9");
}

}  // namespace
}  // namespace gridmint
