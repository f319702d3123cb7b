#include "ReferenceResolver.h"

#include <gtest/gtest.h>

namespace gridmint {
namespace {

struct ResolveCase {
    const char* reference;
    const char* expected;
};

constexpr const char* exampleBase = "http://a/b/c/d;p?q";

// Every reference form against one base: the usual ones, then the ones that try the edges
// (too many "..", dot segments inside names and in queries and fragments, a scheme without
// hierarchy).
constexpr ResolveCase againstExampleBase[] = {
    {"g:h", "g:h"},
    {"g", "http://a/b/c/g"},
    {"./g", "http://a/b/c/g"},
    {"g/", "http://a/b/c/g/"},
    {"/g", "http://a/g"},
    {"//g", "http://g"},
    {"?y", "http://a/b/c/d;p?y"},
    {"g?y", "http://a/b/c/g?y"},
    {"#s", "http://a/b/c/d;p?q#s"},
    {"g#s", "http://a/b/c/g#s"},
    {"g?y#s", "http://a/b/c/g?y#s"},
    {";x", "http://a/b/c/;x"},
    {"g;x", "http://a/b/c/g;x"},
    {"g;x?y#s", "http://a/b/c/g;x?y#s"},
    {"", "http://a/b/c/d;p?q"},
    {".", "http://a/b/c/"},
    {"./", "http://a/b/c/"},
    {"..", "http://a/b/"},
    {"../", "http://a/b/"},
    {"../g", "http://a/b/g"},
    {"../..", "http://a/"},
    {"../../", "http://a/"},
    {"../../g", "http://a/g"},
    {"../../../g", "http://a/g"},
    {"../../../../g", "http://a/g"},
    {"/./g", "http://a/g"},
    {"/../g", "http://a/g"},
    {"g.", "http://a/b/c/g."},
    {".g", "http://a/b/c/.g"},
    {"g..", "http://a/b/c/g.."},
    {"..g", "http://a/b/c/..g"},
    {"./../g", "http://a/b/g"},
    {"./g/.", "http://a/b/c/g/"},
    {"g/./h", "http://a/b/c/g/h"},
    {"g/../h", "http://a/b/c/h"},
    {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
    {"g;x=1/../y", "http://a/b/c/y"},
    {"g?y/./x", "http://a/b/c/g?y/./x"},
    {"g?y/../x", "http://a/b/c/g?y/../x"},
    {"g#s/./x", "http://a/b/c/g#s/./x"},
    {"g#s/../x", "http://a/b/c/g#s/../x"},
    {"http:g", "http:g"},
};

TEST(ReferenceResolver, everyFormAgainstOneBase) {
    for (const auto& c : againstExampleBase) {
        SCOPED_TRACE(c.reference);
        EXPECT_EQ(resolveReference(exampleBase, c.reference), c.expected);
    }
}

struct BaseCase {
    const char* name;
    const char* base;
    const char* reference;
    const char* expected;
};

constexpr BaseCase otherBases[] = {
    {"hostWithoutPath", "https://example.com", "a.html", "https://example.com/a.html"},
    {"absoluteReferenceLosesDots", "https://x/", "HTTPS://Other/a/../b?q", "HTTPS://Other/b?q"},
    {"javascriptKeptAsWritten", "https://x/a/", "javascript:go('../x')", "javascript:go('../x')"},
    {"mailtoKeptAsWritten", "https://x/a/", "mailto:someone@example.com",
     "mailto:someone@example.com"},
    {"baseWithoutHierarchyLeavesReference", "mailto:a@b", "page.html", "page.html"},
    {"relativeBaseLeavesReference", "docs/", "page.html", "page.html"},
    {"rootedBaseWithoutScheme", "/docs/guide/", "../api/x.html", "/docs/api/x.html"},
    {"baseFragmentDropped", "https://x/a#top", "#end", "https://x/a#end"},
    {"spaceAroundAndBreaksInsideDropped", "https://x/a/", " \n b\n/c.html\t ",
     "https://x/a/b/c.html"},
    {"notASchemeBeforeColon", "https://x/a/", "1st:place", "https://x/a/1st:place"},
    {"colonAfterSlashIsPath", "https://x/a/", "b/c:d", "https://x/a/b/c:d"},
    {"utf8Kept", "https://x/a/", "caf\xC3\xA9.html", "https://x/a/caf\xC3\xA9.html"},
};

TEST(ReferenceResolver, otherBasesAndReferences) {
    for (const auto& c : otherBases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(resolveReference(c.base, c.reference), c.expected);
    }
}

// Each "/a/./../b" leaves "/b"; a quadratic removal would not end within the time limit.
TEST(ReferenceResolver, dotSegmentsOfLongPathsStayLinear) {
    std::string path, expected;
    for (int i = 0; i < 200000; ++i) {
        path += "/a/./../b";
        expected += "/b";
    }
    EXPECT_EQ(removeDotSegments(path), expected);
    EXPECT_EQ(removeDotSegments(std::string(100000, '.') + "/x"), std::string(100000, '.') + "/x");
}

}  // namespace
}  // namespace gridmint
