// libcurl opened at run time: a library that cannot be used makes fetching and URL building
// fail with the dynamic loader's reason, never crash; the next name is tried first.
#include "CurlLibrary.h"

#include <gtest/gtest.h>

#include <array>

#include "CurlFetcher.h"
#include "UrlBuilder.h"

namespace gridmint {
namespace {

struct Unusable {
    const char* name;
    const char* library;
    const char* loaderSays;  // words of dlerror()'s text
};

// A name that opens nothing, and a library that opens but has none of libcurl's functions.
const std::array<Unusable, 2> unusableLibraries{{
    {"missing", "libgridmint-no-such-library.so.4", "cannot open shared object file"},
    {"withoutCurlFunctions", "libm.so.6", "undefined symbol: curl_global_init"},
}};

TEST(CurlLibrary, unusableLibraryFailsWithTheLoadersReason) {
#if !defined(__linux__)
    GTEST_SKIP() << "the library names are those of Linux";
#endif
    for (const auto& c : unusableLibraries) {
        SCOPED_TRACE(c.name);
        const CurlLibrary library{c.library};
        EXPECT_EQ(library.functions(), nullptr);
        const std::string& error = library.error();
        EXPECT_EQ(error.rfind(std::string("cannot load ") + c.library + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.loaderSays), std::string::npos) << error;

        CurlFetcher fetcher(library);
        const FetchResult result = fetcher.fetch("file:///nothing.html", "Agent/1", {});
        EXPECT_FALSE(result.gotBody);
        EXPECT_EQ(result.error, FetchError::other);
        EXPECT_EQ(result.errorMessage, error);

        std::string noParser;
        EXPECT_EQ(buildUrl("http://example.com/", library, &noParser), std::nullopt);
        EXPECT_EQ(noParser, error);
    }
}

TEST(CurlLibrary, laterNameIsUsedWhenEarlierOnesFail) {
#if !defined(__linux__)
    GTEST_SKIP() << "the library names are those of Linux";
#endif
    const CurlLibrary library{"libgridmint-no-such-library.so.4", "libm.so.6", "libcurl.so.4"};
    ASSERT_NE(library.functions(), nullptr) << library.error();
    EXPECT_EQ(library.error(), "");
    std::string noParser = "unchanged";
    EXPECT_EQ(buildUrl("http://example.com/a b", library, &noParser), "http://example.com/a%20b");
    EXPECT_EQ(noParser, "unchanged");
}

TEST(CurlLibrary, everyNameFailingNamesEachOne) {
    const CurlLibrary library{"libgridmint-absent-one.so", "libgridmint-absent-two.so"};
    EXPECT_EQ(library.functions(), nullptr);
    const std::string& error = library.error();
    EXPECT_NE(error.find("cannot load libgridmint-absent-one.so: "), std::string::npos) << error;
    EXPECT_NE(error.find("; cannot load libgridmint-absent-two.so: "), std::string::npos) << error;
}

}  // namespace
}  // namespace gridmint
