#include "JsonWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gridmint {
namespace {

ResultDictionary oneCell(const Text& cell) {
    ResultDictionary result;
    result.insert(u"t", {{cell}});
    return result;
}

struct EscapeCase {
    const char* name;
    std::u16string cell;
    std::string escaped;  // the JSON string's content, between its quotes
};

std::vector<EscapeCase> escapeCases() {
    return {
        {"plain", u"Lagos", "Lagos"},
        {"quote", u"\"", "\\\""},
        {"backslash", u"\\", "\\\\"},
        {"slashNotEscaped", u"a/b", "a/b"},
        {"shortControls", u"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
        {"otherControls", std::u16string(u"\0\x01\x1F", 3), "\\u0000\\u0001\\u001F"},
        {"deleteNotEscaped", u"\x7F", "\x7F"},
        {"twoByteUtf8", u"\u00E9", "\xC3\xA9"},
        {"threeByteUtf8", u"\u6771", "\xE6\x9D\xB1"},
        {"separatorsAreValidJson", u"\u2028", "\xE2\x80\xA8"},
        {"surrogatePair", u"\U0001F600", "\xF0\x9F\x98\x80"},
        {"loneHigh", u"\xD800", "\\uD800"},
        {"loneLow", u"x\xDFFF", "x\\uDFFF"},
        {"highThenPair", u"\xD83D\xD83D\xDE00", "\\uD83D\xF0\x9F\x98\x80"},
        {"lowThenHigh", u"\xDE00\xD83D", "\\uDE00\\uD83D"},
    };
}

TEST(JsonWriter, escapesInCells) {
    for (const EscapeCase& c : escapeCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(jsonFromResult(oneCell(c.cell)), "{\"t\":[[\"" + c.escaped + "\"]]}");
    }
}

TEST(JsonWriter, escapesAtEveryOffsetOfALongCell) {
    // The bulk copy takes eight code units at a time; a character that needs care must be
    // found wherever it stands in such a block.
    for (const EscapeCase& c : escapeCases()) {
        for (size_t offset = 0; offset <= 17; ++offset) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(offset));
            const std::u16string before(offset, u'a');
            const std::u16string after(19 - offset, u'z');
            const std::string expected = "{\"t\":[[\"" + std::string(offset, 'a') + c.escaped +
                                         std::string(19 - offset, 'z') + "\"]]}";
            EXPECT_EQ(jsonFromResult(oneCell(before + c.cell + after)), expected);
        }
    }
}

TEST(JsonWriter, escapesInTableNames) {
    ResultDictionary result;
    result.insert(u"say \"x\"\\\n\xD800", {{u"1"}});
    EXPECT_EQ(jsonFromResult(result), "{\"say \\\"x\\\"\\\\\\n\\uD800\":[[\"1\"]]}");
}

TEST(JsonWriter, shapesOfResults) {
    struct ShapeCase {
        const char* name;
        std::vector<std::pair<Text, Table>> tables;
        std::string expected;
    };
    const std::vector<ShapeCase> cases = {
        {"noTable", {}, "{}"},
        {"storageOrderKept",
         {{u"zeta", {{u"1"}}}, {u"alpha", {{u"2"}}}, {u"noclass 1", {{u"3"}}}},
         "{\"zeta\":[[\"1\"]],\"alpha\":[[\"2\"]],\"noclass 1\":[[\"3\"]]}"},
        {"raggedRowsAndEmptyCells",
         {{u"t", {{u"a", u"", u"c"}, {u"d"}}}},
         "{\"t\":[[\"a\",\"\",\"c\"],[\"d\"]]}"},
        {"emptyRowAndEmptyTable",
         {{u"t", {{}, {u"x"}}}, {u"u", {}}},
         "{\"t\":[[],[\"x\"]],\"u\":[]}"},
        {"emptyName",
         {{u"", {{u"x"}}}, {u" (1)", {{u"y"}}}},
         "{\"\":[[\"x\"]],\" (1)\":[[\"y\"]]}"},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResultDictionary result;
        for (const auto& [name, table] : c.tables) result.insert(name, table);
        EXPECT_EQ(jsonFromResult(result), c.expected);
    }
}

TEST(JsonWriter, largeTableGrowsTheBuffer) {
    // Escapes make the output far larger than the first guess; the writer must keep all of it.
    Table table(2000, Row(5, Text(20, u'\x01')));
    ResultDictionary result;
    result.insert(u"big", table);
    const std::string json = jsonFromResult(result);
    std::string cell = "\"";
    for (int i = 0; i < 20; ++i) cell += "\\u0001";
    cell += "\"";
    const std::string row = "[" + cell + "," + cell + "," + cell + "," + cell + "," + cell + "]";
    ASSERT_EQ(json.size(), 10 + 2000 * row.size() + 1999);
    EXPECT_EQ(json.substr(0, 8 + row.size()), "{\"big\":[" + row);
    EXPECT_EQ(json.substr(json.size() - row.size() - 2), row + "]}");
}

}  // namespace
}  // namespace gridmint
