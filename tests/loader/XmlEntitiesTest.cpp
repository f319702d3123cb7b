#include "XmlEntities.h"

#include <gtest/gtest.h>

#include <array>

namespace gridmint {
namespace {

struct EntityCase {
    const char* name;
    std::string_view input;
    std::string_view expected;
};

constexpr std::array<EntityCase, 18> entityCases{{
    {"fivePredefined", "&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
    {"decimal", "a&#32;b", "a b"},
    {"hexLowerX", "&#x41;&#x6a;", "Aj"},
    {"upperXIsNoReference", "&#X41;", "&#X41;"},
    {"nonAsciiAsUtf8", "&#233;&#x20AC;", "\xc3\xa9\xe2\x82\xac"},
    {"astralAsFourBytes", "&#x1F600;", "\xf0\x9f\x98\x80"},
    {"htmlOnlyNamesStay", "&nbsp;&eacute;", "&nbsp;&eacute;"},
    {"namesAreCaseSensitive", "&AMP;", "&AMP;"},
    {"onePassOnly", "&amp;lt;", "&lt;"},
    {"missingSemicolon", "&amp x", "&amp x"},
    {"loneAmpersand", "a & b", "a & b"},
    {"ampersandAtEnd", "a&", "a&"},
    {"zeroStays", "&#0;", "&#0;"},
    {"surrogateStays", "&#xD800;", "&#xD800;"},
    {"beyondUnicodeStays", "&#x110000;", "&#x110000;"},
    {"hugeNumberStays", "&#99999999999999999999;", "&#99999999999999999999;"},
    {"noDigitsStay", "&#;&#x;", "&#;&#x;"},
    {"signNotSkipped", "&#+65;&# 65;", "&#+65;&# 65;"},
}};

TEST(XmlEntities, replacementTable) {
    for (const auto& c : entityCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(replaceXmlEntities(c.input), c.expected);
    }
}

}  // namespace
}  // namespace gridmint
