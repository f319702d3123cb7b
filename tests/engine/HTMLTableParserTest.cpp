// Making parsers: the bytes and text routes, the encoding they settle, and reading results.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

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

// The bytes of `text` in UTF-16 with the byte order's mark in front, and `tail` after.
std::string utf16Page(std::u16string_view text, bool bigEndian, std::string_view tail = "") {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes.append(tail);
}

// A page that starts with a UTF-16 mark is read in that byte order and scanned as UTF-8,
// whatever it declares; lone surrogates and an odd last byte become U+FFFD.
TEST(HTMLTableParser, utf16PagesAreReadByTheirMark) {
    struct Case {
        const char* name;
        std::u16string text;
        std::string_view tail;
        const char* tables;
    };
    const Case cases[] = {
        {"plain", u"<table><tr><td>caf\u00E9</td><td>\U0001F600</td></tr></table>", "",
         "noclass 1: [caf\xC3\xA9|\xF0\x9F\x98\x80]"},
        {"declarationIgnored",
         u"<meta charset=utf-16><body><table><tr><td>\u4E2D</td></tr></table>", "",
         "noclass 1: [\xE4\xB8\xAD]"},
        {"unpairedSurrogates",
         u"<table><tr><td>a\xD800"
         u"b\xDC00</td></tr></table>",
         "",
         "noclass 1: [a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD]"},
        {"oddLastByte", u"<table><tr><td>a</td></tr></table>", "x", "noclass 1: [a]"},
    };
    InMemoryDefaults defaults;
    for (const Case& c : cases) {
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (bigEndian ? " big endian" : " little endian"));
            auto parser = test::parseBytes(utf16Page(c.text, bigEndian, c.tail), defaults,
                                           encoding::isoLatin1);
            ASSERT_TRUE(parser);
            EXPECT_EQ(parser->encoding(), encoding::utf8);
            EXPECT_EQ(describe(parser->getResultDictionary()), c.tables);
            const Text page = parser->getDataString();
            EXPECT_EQ(page.back() == u'\uFFFD', !c.tail.empty()) << toUtf8(page);
        }
    }
    // Without a whole mark the bytes are scanned as they are: no tag is seen.
    auto unmarked = test::parseBytes(
        utf16Page(u"<table><tr><td>a</td></tr></table>", false).substr(1), defaults);
    ASSERT_TRUE(unmarked);
    EXPECT_TRUE(unmarked->getResultDictionary().empty());
}

// A real page saved as UTF-16 gives the tables of the same page saved as UTF-8.
TEST(HTMLTableParser, realUtf16PageReadsLikeItsUtf8Twin) {
    const std::filesystem::path folder =
        std::filesystem::path(GRIDMINT_CORPUS_DIR) / "pandas/html_encoding";
    if (!std::filesystem::exists(folder)) GTEST_SKIP() << "no corpus at " << folder;
    const auto read = [&folder](const char* name) {
        std::ifstream in(folder / name, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    };
    InMemoryDefaults defaults;
    auto utf16 = test::parseBytes(read("chinese_utf-16.html"), defaults);
    auto utf8 = test::parseBytes(read("chinese_utf-8.html"), defaults);
    ASSERT_TRUE(utf16 && utf8);
    EXPECT_FALSE(utf8->getResultDictionary().empty());
    EXPECT_EQ(describe(utf16->getResultDictionary()), describe(utf8->getResultDictionary()));
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
