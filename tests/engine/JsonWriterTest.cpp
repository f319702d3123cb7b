#include "JsonWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "Utf.h"

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
    const Table table = Table::fromRows(std::vector<Row>(2000, Row(5, Text(20, u'\x01'))));
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

// The JSON string of `text` written one code unit at a time, the plain way: the reference
// that the writer's block-at-a-time walk must match byte for byte.
std::string referenceJsonString(std::u16string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out += toUtf8(text.substr(i, 2));
            ++i;
        } else if ((unit >= 0xD800 && unit <= 0xDFFF) || unit < 0x20) {
            const char* const shortForms[] = {"\\b", "\\t", "\\n", nullptr, "\\f", "\\r"};
            if (unit >= 8 && unit <= 13 && shortForms[unit - 8] != nullptr) {
                out += shortForms[unit - 8];
            } else {
                char escape[7];
                std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
                out += escape;
            }
        } else if (unit == u'"' || unit == u'\\') {
            out += '\\';
            out += static_cast<char>(unit);
        } else {
            out += toUtf8(text.substr(i, 1));
        }
    }
    return out + "\"";
}

std::string referenceJson(const ResultDictionary& result) {
    std::string out = "{";
    for (size_t t = 0; t < result.size(); ++t) {
        const auto& [name, table] = result.at(t);
        if (t > 0) out += ",";
        out += referenceJsonString(name) + ":[";
        for (size_t r = 0; r < table.size(); ++r) {
            out += r > 0 ? ",[" : "[";
            for (size_t c = 0; c < table[r].size(); ++c) {
                if (c > 0) out += ",";
                out += referenceJsonString(table[r][c]);
            }
            out += "]";
        }
        out += "]";
    }
    return out + "}";
}

// Code units from every class the block test tells apart: plain ASCII, the reserved and
// control units, the ranges that narrowing saturates differently (U+0080 to U+00FF, up to
// U+7FFF, U+8000 and above), and surrogates that pair or stand alone.
Text randomCell(std::mt19937& random, size_t maxLength) {
    static constexpr char16_t units[] = {
        u'a', u'Z', u' ', u'~',  0x7F,   u'"',   u'\\',  u'\n',  0x01,   0x00,   0x1F,
        0x80, 0xE9, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFFFF, 0xD83D, 0xDE00, 0xDBFF, 0xDC00};
    std::uniform_int_distribution<size_t> length(0, maxLength);
    // Mostly plain text, so that runs long enough for whole blocks occur.
    std::uniform_int_distribution<int> plain(0, 3);
    std::uniform_int_distribution<size_t> pick(0, std::size(units) - 1);
    Text cell(length(random), u'x');
    for (char16_t& unit : cell) {
        if (plain(random) == 0) unit = units[pick(random)];
    }
    return cell;
}

TEST(JsonWriter, randomCellsMatchUnitByUnitWriting) {
    std::mt19937 random(20240612);
    for (int round = 0; round < 200; ++round) {
        ResultDictionary result;
        Table table;
        for (int row = 0; row < 1 + round % 7; ++row) {
            for (int cell = 0; cell < 1 + round % 5; ++cell)
                table.appendCell(randomCell(random, 40));
            table.endRow();
        }
        result.insert(randomCell(random, 20), table);
        ASSERT_EQ(jsonFromResult(result), referenceJson(result)) << "round " << round;
    }
}

// The output as the sink receives it, chunk by chunk.
std::vector<std::string> chunksOf(const ResultDictionary& result) {
    std::vector<std::string> chunks;
    const bool whole = writeJsonFromResult(result, [&chunks](std::string_view chunk) {
        chunks.emplace_back(chunk);
        return true;
    });
    EXPECT_TRUE(whole);
    return chunks;
}

TEST(JsonWriter, streamedInBoundedChunks) {
    // Cells longer than a chunk are written in pieces; a surrogate pair must survive a cut
    // wherever it falls, so the pairs start at both parities. Escapes make the output many
    // times longer than the cell, and a row of many cells is too wide to be written at once.
    Text emoji;
    for (size_t i = 0; i < 100'000; ++i) emoji += u"\U0001F600";
    struct LongCase {
        const char* name;
        Table table;
    };
    const std::vector<LongCase> cases = {
        {"pairsEven", {{emoji}}},
        {"pairsOdd", {{u"a" + emoji}}},
        {"controlsEscapedSixfold", {{Text(100'000, u'\x01')}}},
        {"quotesEscapedTwofold", {{Text(300'000, u'"')}}},
        {"wideRow", Table::fromRows({Row(30'000, u"Z\u00FCrich \u6771")})},
        {"manyRows",
         Table::fromRows(std::vector<Row>(40'000, Row{u"75.5%", u"caf\u00E9", u"x\"y"}))},
    };
    for (const LongCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResultDictionary result;
        result.insert(u"t", c.table);
        const std::vector<std::string> chunks = chunksOf(result);
        std::string joined;
        for (const std::string& chunk : chunks) {
            EXPECT_FALSE(chunk.empty());
            EXPECT_LE(chunk.size(), 256u * 1024u);
            joined += chunk;
        }
        EXPECT_GT(chunks.size(), 1u);
        EXPECT_EQ(joined, referenceJson(result));
    }
}

TEST(JsonWriter, refusedChunkStopsTheWriter) {
    ResultDictionary result;
    result.insert(u"t", Table::fromRows(std::vector<Row>(100'000, Row{u"abc", u"\u00E9"})));
    int calls = 0;
    const bool whole = writeJsonFromResult(result, [&calls](std::string_view) {
        ++calls;
        return false;
    });
    EXPECT_FALSE(whole);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace gridmint
