// Making parsers: the bytes and text routes, the encoding they settle, and reading results.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace gridmint {
namespace {

using test::describe;
using test::LogCapture;

constexpr std::string_view latin1Page =
    "<meta charset=iso-8859-1><body><table><tr><td>caf\xE9</td></tr></table>";
constexpr std::string_view utf8PageDeclaringLatin1 =
    "<meta charset=iso-8859-1><body><table><tr><td>caf\xC3\xA9</td></tr></table>";

TEST(HTMLTableParser, declaredCharsetReplacesGivenEncodingOnBytesRoute) {
    InMemoryDefaults defaults;
    auto parser = test::parseBytes(latin1Page, defaults, encoding::utf8);
    ASSERT_TRUE(parser);
    EXPECT_EQ(parser->encoding(), encoding::isoLatin1);
    EXPECT_EQ(describe(parser->getResultDictionary()), "noclass 1: [caf\xC3\xA9]");

    // UTF-8 bytes under a Latin-1 declaration are read as Latin-1 on the bytes route.
    auto mislabelled = test::parseBytes(utf8PageDeclaringLatin1, defaults, encoding::utf8);
    EXPECT_EQ(describe(mislabelled->getResultDictionary()), "noclass 1: [caf\xC3\x83\xC2\xA9]");
}

TEST(HTMLTableParser, textRouteKeepsUtf8WhateverTheDeclaration) {
    InMemoryDefaults defaults;
    auto parser = HTMLTableParser::initWithHTMLString(fromUtf8(utf8PageDeclaringLatin1), defaults);
    ASSERT_TRUE(parser);
    EXPECT_EQ(parser->encoding(), encoding::utf8);
    EXPECT_EQ(describe(parser->getResultDictionary()), "noclass 1: [caf\xC3\xA9]");
}

TEST(HTMLTableParser, textRouteWritesLoneSurrogateAsReplacement) {
    InMemoryDefaults defaults;
    auto parser =
        HTMLTableParser::initWithHTMLString(u"<table><tr><td>a\xD800</td></tr></table>", defaults);
    ASSERT_TRUE(parser);
    EXPECT_EQ(parser->getResultDictionary().at(0).second[0][0], u"a\uFFFD");
}

TEST(HTMLTableParser, noParserForEmptyInput) {
    InMemoryDefaults defaults;
    LogCapture log;
    EXPECT_EQ(test::parseBytes("", defaults), nullptr);
    EXPECT_EQ(HTMLTableParser::initWithHTMLString(u"", defaults), nullptr);
    EXPECT_TRUE(log.lines.empty());

    defaults.set(defaultsKey::verbosity, 1L);
    EXPECT_EQ(test::parseBytes("", defaults, encoding::none), nullptr);
    const std::vector<std::string> expected = {"parser initiated with nil text encoding",
                                               "parser initiated with nil or no data"};
    EXPECT_EQ(log.lines, expected);
}

TEST(HTMLTableParser, pageWithoutTablesGivesEmptyResult) {
    InMemoryDefaults defaults;
    auto parser = test::parseBytes("<p>no tables here</p>", defaults);
    ASSERT_TRUE(parser);
    EXPECT_TRUE(parser->getResultDictionary().empty());
}

TEST(HTMLTableParser, dataStringIsUtf8OrEmpty) {
    InMemoryDefaults defaults;
    auto latin1 = test::parseBytes(latin1Page, defaults);
    EXPECT_EQ(latin1->getDataString(), u"");
    EXPECT_FALSE(latin1->getResultDictionary().empty());  // tables still found

    auto utf8 = test::parseBytes("<p>\xC3\xA9</p>", defaults);
    EXPECT_EQ(utf8->getDataString(), u"<p>\u00E9</p>");
}

TEST(HTMLTableParser, sameInputSameResult) {
    InMemoryDefaults defaults;
    const std::string_view page =
        "<table id=a><tr><td>1</td></tr></table><table><tr><td>2&amp;3</td></tr></table>";
    auto first = test::parseBytes(page, defaults);
    auto second = test::parseBytes(page, defaults);
    EXPECT_EQ(describe(first->getResultDictionary()), describe(second->getResultDictionary()));
}

}  // namespace
}  // namespace gridmint
