// Tokens and character references as HTML defines them, seen through one cell's text.
#include <gtest/gtest.h>

#include "BrowserTestSupport.h"
#include "CharacterReference.h"
#include "NamedReferences.h"

namespace gridmint::browser {
namespace {

using test::PageCase;

std::string cellOf(std::string_view content) {
    return test::readAsJson(std::string("<table><tr><td>") + std::string(content) + "</table>");
}

std::string expectedCell(const char* text) {
    return std::string("{\"noclass 1\":[[\"") + text + "\"]]}";
}

constexpr PageCase referenceCases[] = {
    {"namedWithSemicolon", "&amp;&lt;&eacute;", "&<é"},
    {"legacyNameWithoutSemicolon", "&amp x &copy2", "& x ©2"},
    {"longestLegacyPrefix", "&notit; &notin;", "¬it; ∉"},
    {"nameNotLegacyStaysWithoutSemicolon", "&hearts &hearts;", "&hearts ♥"},
    {"twoCodePoints", "&NotEqualTilde;", "≂̸"},
    {"unknownNameStays", "&bogus; &", "&bogus; &"},
    {"decimalAndHexWithoutSemicolon", "&#65&#x42;&#X43", "ABC"},
    {"windows1252Range", "&#128;&#x9F;&#x81;", "€Ÿ\xC2\x81"},
    {"zeroSurrogateAndOutOfRangeBecomeReplacement", "&#0;&#xD800;&#x110000;&#99999999999;",
     "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"numberWithoutDigitsStays", "&#; &#x;", "&#; &#x;"},
};

TEST(BrowserTokenizer, characterReferences) {
    for (const auto& c : referenceCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cellOf(c.page), expectedCell(c.json));
    }
}

constexpr PageCase tokenCases[] = {
    {"greaterThanInQuotedAttribute", "<span title='a>b'>x</span>", "x"},
    {"unquotedAttributeWithQuote", "<span title=a\"b>x</span>", "x"},
    {"shortComment", "a<!-->b<!--->c", "abc"},
    {"commentEndsAtBangClose", "a<!-- x --!>b", "ab"},
    {"bogusComments", "a<?x>b<!x>c</ x>d", "abcd"},
    {"lessThanNotATag", "a < b <3", "a < b <3"},
    {"endTagWithoutName", "a</>b", "ab"},
    {"scriptHidesMarkup", "a<script>x</td><td>y</script>b", "ab"},
    {"scriptDoubleEscape", "a<script><!--<script></script>c</script>b", "ab"},
    {"styleIsRawText", "a<style></td>b</style>c", "ac"},
    {"textareaIsRcdata", "<textarea>x</td>&amp;</textarea>", "x</td>&"},
    {"xmpIsRawText", "<xmp>&amp;<b></xmp>", "&amp;<b>"},
    {"cdataInSvg", "<svg><![CDATA[x<y]]></svg>", "x<y"},
    {"cdataOutsideForeignIsComment", "a<![CDATA[x]]>b", "ab"},
    {"tagCutOffAtEnd", "a<span title='x", "a"},
};

TEST(BrowserTokenizer, tokens) {
    for (const auto& c : tokenCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cellOf(c.page), expectedCell(c.json));
    }
}

TEST(BrowserTokenizer, nulDroppedInDataAndReplacedInRawText) {
    EXPECT_EQ(cellOf(std::string_view("a\0b<xmp>\0</xmp>", 16)), expectedCell("ab\uFFFD"));
}

TEST(BrowserTokenizer, duplicateAttributeFirstWinsAndNamesIgnoreCase) {
    EXPECT_EQ(test::readAsJson("<table ID=one id=two></table><table CLASS=a class=b></table>"),
              "{\"one\":[],\"a\":[]}");
}

TEST(BrowserTokenizer, attributeValueReferencesFollowTheAttributeRule) {
    EXPECT_EQ(test::readAsJson("<table id='&amp;&copy=x&notit&lt;\r\n'></table>"),
              "{\"&&copy=x&notit<\\n\":[]}");
}

TEST(BrowserTokenizer, everyNamedReferenceResolves) {
    for (const NamedReference& reference : namedReferences) {
        const std::string written = "&" + std::string(reference.name);
        const ResolvedCharacters found =
            resolveCharacterReference(written.data(), written.data() + written.size(), false);
        ASSERT_EQ(found.length, written.size()) << written;
        EXPECT_EQ(found.codePoints[0], reference.first) << written;
        EXPECT_EQ(found.codePoints[1], reference.second) << written;
    }
}

}  // namespace
}  // namespace gridmint::browser
