#include "CsvWriter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Utf.h"

namespace gridmint {
namespace {

struct CsvCase {
    const char* name;
    Table table;
    std::u16string expected;
};

std::vector<CsvCase> csvCases() {
    return {
        {"oneRowOfThree", {{u"a", u"b", u"c"}}, u"\"a\",\"b\",\"c\""},
        {"twoRowsOfOne", {{u"x"}, {u"y"}}, u"\"x\"\n\"y\""},
        {"emptyCell", {{u""}}, u"\"\""},
        {"twoEmptyCells", {{u"", u""}}, u"\"\",\"\""},
        {"quotedWordEndsCell", {{u"say \"hi\""}}, u"\"say \"\"hi\"\"\""},
        {"onlyAQuote", {{u"\""}}, u"\"\"\"\""},
        {"commaAndLineBreakStayInField",
         {{u"a,b", u"c\nd", u"e\r\nf"}},
         u"\"a,b\",\"c\nd\",\"e\r\nf\""},
        {"raggedRowsNotPadded", {{u"1", u"2", u"3"}, {u"4"}}, u"\"1\",\"2\",\"3\"\n\"4\""},
        {"emptyFirstRow", {{}, {u"a"}}, u"\n\"a\""},
        {"emptyLastRow", {{u"a"}, {}}, u"\"a\"\n"},
        {"emptyMiddleRow", {{u"a"}, {}, {u"b"}}, u"\"a\"\n\n\"b\""},
        {"noRows", {}, u""},
        {"nonAsciiUnchanged",
         {{u"Z\u00FCrich", u"\u6771\u4EAC", u"\U0001F600"}},
         u"\"Z\u00FCrich\",\"\u6771\u4EAC\",\"\U0001F600\""},
        {"quoteAfterLongPlainRun",
         {{u"abcdefghijklmnop\"qrstuvwxyz"}},
         u"\"abcdefghijklmnop\"\"qrstuvwxyz\""},
    };
}

TEST(CsvWriter, formsOfTables) {
    for (const CsvCase& c : csvCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(csvFromArrays(c.table), c.expected);
        // Without lone surrogates the byte form is exactly the UTF-8 of the text form.
        EXPECT_EQ(csvUtf8FromArrays(c.table), toUtf8(c.expected));
    }
}

struct SurrogateCase {
    const char* name;
    std::u16string cell;
    std::string expectedField;  // UTF-8, quotes included
};

TEST(CsvWriter, loneSurrogatesBecomeReplacementCharacter) {
    const std::vector<SurrogateCase> cases = {
        {"loneHigh",
         u"a\xD800"
         "b",
         "\"a\xEF\xBF\xBD"
         "b\""},
        {"loneLow", u"\xDC00", "\"\xEF\xBF\xBD\""},
        {"highAtEnd", u"abc\xD83D", "\"abc\xEF\xBF\xBD\""},
        {"twoHighs", u"\xD83D\xD83D\xDE00", "\"\xEF\xBF\xBD\xF0\x9F\x98\x80\""},
        {"lowBeforeHigh", u"\xDE00\xD83D", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"afterPlainRun", u"0123456789\xDFFF", "\"0123456789\xEF\xBF\xBD\""},
    };
    for (const SurrogateCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(csvUtf8FromArrays({{c.cell}}), c.expectedField);
        // The text form keeps the code unit as it is.
        EXPECT_EQ(csvFromArrays({{c.cell}}), u"\"" + c.cell + u"\"");
    }
}

// A small RFC 4180 reader: fields quoted or not, "" inside quotes is one quote, records
// end at "\n". An empty line is a record without fields.
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    if (text.empty()) return records;
    std::vector<std::string> record;
    std::string field;
    bool inQuotes = false;
    bool fieldStarted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (inQuotes) {
            if (ch != '"') {
                field += ch;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                inQuotes = false;
            }
        } else if (ch == '"') {
            inQuotes = true;
            fieldStarted = true;
        } else if (ch == ',') {
            record.push_back(std::move(field));
            field.clear();
            fieldStarted = true;
        } else if (ch == '\n') {
            if (fieldStarted) record.push_back(std::move(field));
            records.push_back(std::move(record));
            record.clear();
            field.clear();
            fieldStarted = false;
        } else {
            field += ch;
            fieldStarted = true;
        }
    }
    if (fieldStarted) record.push_back(std::move(field));
    records.push_back(std::move(record));
    return records;
}

// Random tables made of the characters that matter to the writer: quotes, separators, line
// breaks, non-ASCII and surrogate pairs, mixed into runs long enough for the bulk copy.
Table randomTable(std::mt19937& random) {
    // Besides the characters that matter to CSV, code units from each range that the block
    // copy narrows differently (up to U+00FF, up to U+7FFF, U+8000 and above), NUL, and lone
    // surrogates, which the byte form writes as U+FFFD.
    static const std::u16string pieces[] = {u"a",          u"bcdefghijk",
                                            u"\"",         u",",
                                            u"\n",         u"\r",
                                            u" ",          u"\u00E9",
                                            u"\u4E2D",     u"\t",
                                            u"\x80",       u"\xFF",
                                            u"\u0100",     u"\u7FFF",
                                            u"\u8000",     u"\uFFFF",
                                            u"~",          u"\x7F",
                                            u"\U0001F600", u"\xD83D",
                                            u"\xDE00",     std::u16string(1, u'\0')};
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> count(1, 6);
    std::uniform_int_distribution<int> length(0, 24);
    Table table(static_cast<size_t>(count(random)));
    for (Row& row : table) {
        row.resize(static_cast<size_t>(count(random)));
        for (Text& cell : row) {
            for (int n = length(random); n > 0; --n) cell += pieces[pick(random)];
        }
    }
    return table;
}

TEST(CsvWriter, standardReaderGetsTheTableBack) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        const Table table = randomTable(random);
        std::vector<std::vector<std::string>> expected;
        for (const Row& row : table) {
            expected.emplace_back();
            for (const Text& cell : row) expected.back().push_back(toUtf8(cell));
        }
        const std::string csv = csvUtf8FromArrays(table);
        ASSERT_EQ(readCsv(csv), expected) << "round " << round;
        ASSERT_EQ(csv, toUtf8(csvFromArrays(table))) << "round " << round;
    }
}

// The byte form as the sink receives it, checking that every chunk is bounded.
std::string streamed(const Table& table, size_t& chunks) {
    std::string joined;
    chunks = 0;
    const bool whole = writeCsvUtf8FromArrays(table, [&](std::string_view chunk) {
        EXPECT_FALSE(chunk.empty());
        EXPECT_LE(chunk.size(), 256u * 1024u);
        joined += chunk;
        ++chunks;
        return true;
    });
    EXPECT_TRUE(whole);
    return joined;
}

TEST(CsvWriter, streamedInBoundedChunks) {
    // Cells longer than a chunk are written in pieces; a surrogate pair must survive a cut
    // wherever it falls, so the pairs start at both parities. Doubled quotes make the output
    // longer than the cell, and a record of many fields is too wide to be written at once.
    Text emoji;
    for (size_t i = 0; i < 150'000; ++i) emoji += u"\U0001F600";
    struct LongCase {
        const char* name;
        Table table;
    };
    const std::vector<LongCase> cases = {
        {"pairsEven", {{emoji}}},
        {"pairsOdd", {{u"a" + emoji}}},
        {"quotesDoubled", {{Text(300'000, u'"')}}},
        {"wideRecord", {Row(60'000, u"Z\u00FCrich \u6771")}},
        {"manyRecords", Table(40'000, Row{u"75.5%", u"caf\u00E9", u"x\"y"})},
    };
    for (const LongCase& c : cases) {
        SCOPED_TRACE(c.name);
        size_t chunks = 0;
        EXPECT_EQ(streamed(c.table, chunks), toUtf8(csvFromArrays(c.table)));
        EXPECT_GT(chunks, 1u);
    }
}

TEST(CsvWriter, refusedChunkStopsTheWriter) {
    const Table table(100'000, Row{u"abc", u"\u00E9"});
    int calls = 0;
    const bool whole = writeCsvUtf8FromArrays(table, [&calls](std::string_view) {
        ++calls;
        return false;
    });
    EXPECT_FALSE(whole);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace gridmint
