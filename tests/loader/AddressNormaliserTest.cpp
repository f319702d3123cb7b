#include "AddressNormaliser.h"

#include <gtest/gtest.h>

#include <array>

namespace gridmint {
namespace {

struct NormaliseCase {
    const char* name;
    std::u16string_view typed;
    std::string_view expected;
};

constexpr std::string_view home = "/home/tester";

constexpr std::array<NormaliseCase, 25> normaliseCases{{
    {"shortHostGetsHttp", u"ab.cd", "http://ab.cd"},
    {"emptyTextGetsHttp", u"", "http://"},
    {"shortTextWithSchemeStillGetsHttp", u"x://y", "http://x://y"},
    {"shortAbsolutePathIsAFile", u"/a.html", "file:///a.html"},
    {"shortHomePathIsAFile", u"~/t.html", "file:///home/tester/t.html"},
    {"rootIsAFile", u"/", "file:///"},
    {"pathHoldingSchemeIsAFile", u"/tmp/x://y", "file:///tmp/x://y"},
    {"lengthCountsCodeUnitsNotBytes", u"\u00e9\u00e9\u00e9://",
     "http://\xc3\xa9\xc3\xa9\xc3\xa9://"},
    {"schemeKeptUnchanged", u"ftp://files.lan/a b", "ftp://files.lan/a b"},
    {"httpsKeptUnchanged", u"https://example.org/x", "https://example.org/x"},
    {"sevenCharactersGetHttp", u"abc.def", "http://abc.def"},
    {"eightCharacterPathIsAFile", u"/Library", "file:///Library"},
    {"longerHostGetsHttp", u"pages.lan", "http://pages.lan"},
    {"hostWithPathKeepsSpaces", u"example.com/a b", "http://example.com/a b"},
    {"usersFolderBecomesFile", u"/Users/me/My Page.html", "file:///Users/me/My%20Page.html"},
    {"anyAbsolutePathBecomesFile", u"/tmp/page.html", "file:///tmp/page.html"},
    {"pathSpecialsEscaped", u"/tmp/a #b%c?d.html", "file:///tmp/a%20%23b%25c%3Fd.html"},
    {"pathNonAsciiEscapedAsUtf8", u"/tmp/caf\u00e9.html", "file:///tmp/caf%C3%A9.html"},
    {"pathEntitiesReplacedFirst", u"/tmp/a&amp;b&#32;c&lt;.html", "file:///tmp/a&b%20c%3C.html"},
    {"pathSubDelimitersKept", u"/tmp/a+b=c,d;e@f:g.html", "file:///tmp/a+b=c,d;e@f:g.html"},
    {"homeFolderExpanded", u"~/pages/x.html", "file:///home/tester/pages/x.html"},
    {"homePathEscaped", u"~/my pages/#1.html", "file:///home/tester/my%20pages/%231.html"},
    {"otherUsersHomeNotExpanded", u"~user/x.html", "http://~user/x.html"},
    {"leadingSpaceNotTrimmed", u" /tmp/page.html", "http:// /tmp/page.html"},
    {"entitiesOnlyInPaths", u"example.com/?a=1&amp;b=2", "http://example.com/?a=1&amp;b=2"},
}};

TEST(AddressNormaliser, normalisationTable) {
    for (const auto& c : normaliseCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(normaliseAddress(c.typed, std::string(home)), c.expected);
    }
}

TEST(AddressNormaliser, homeFolderForms) {
    EXPECT_EQ(normaliseAddress(u"~/x/page.html", std::string("/home/tester/")),
              "file:///home/tester/x/page.html");
    EXPECT_EQ(normaliseAddress(u"~/x/page.html", std::string("/")), "file:///x/page.html");
    EXPECT_EQ(normaliseAddress(u"~/x/page.html", std::string("/home/a b")),
              "file:///home/a%20b/x/page.html");
    // Without a home folder the text is left to the last rule.
    EXPECT_EQ(normaliseAddress(u"~/x/page.html", std::nullopt), "http://~/x/page.html");
}

TEST(AddressNormaliser, percentEncodingRoundTripsEveryByte) {
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte.push_back(static_cast<char>(b));
    const std::string encoded = percentEncodePath(everyByte);
    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        ASSERT_TRUE(c > 0x20 && c < 0x7F && c != '#' && c != '?') << "left raw: " << int(c);
        if (c == '%') {
            decoded.push_back(static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            decoded.push_back(c);
        }
    }
    EXPECT_EQ(decoded, everyByte);
}

}  // namespace
}  // namespace gridmint
