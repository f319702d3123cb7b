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

// Every dialect: each separator, with and without a byte-order mark, each line end and
// quoting, with and without the formula guard.
std::vector<CsvDialect> allDialects() {
    std::vector<CsvDialect> dialects;
    for (const char separator : csvSeparators) {
        for (const bool bom : {false, true}) {
            for (const CsvLineEnd lineEnd : {CsvLineEnd::lf, CsvLineEnd::crlf}) {
                for (const CsvQuoting quoting : {CsvQuoting::all, CsvQuoting::minimal}) {
                    for (const bool guard : {false, true}) {
                        dialects.push_back({separator, bom, lineEnd, quoting, guard});
                    }
                }
            }
        }
    }
    return dialects;
}

std::string describe(const CsvDialect& d) {
    return std::string("separator ") + (d.separator == '\t' ? "tab" : std::string(1, d.separator)) +
           (d.byteOrderMark ? " bom" : "") + (d.lineEnd == CsvLineEnd::crlf ? " crlf" : "") +
           (d.quoting == CsvQuoting::minimal ? " minimal" : "") + (d.guardFormulas ? " guard" : "");
}

struct DialectCase {
    const char* name;
    CsvDialect dialect;
    Table table;
    std::u16string expected;
};

TEST(CsvWriter, dialectForms) {
    constexpr CsvDialect minimal{',', false, CsvLineEnd::lf, CsvQuoting::minimal, false};
    constexpr CsvDialect guard{',', false, CsvLineEnd::lf, CsvQuoting::all, true};
    const Table mixed = {{u"a", u"b;c", u"d|e"}, {u"f\tg", u"h"}};
    const std::vector<DialectCase> cases = {
        {"semicolon", {';'}, mixed, u"\"a\";\"b;c\";\"d|e\"\n\"f\tg\";\"h\""},
        {"tab", {'\t'}, mixed, u"\"a\"\t\"b;c\"\t\"d|e\"\n\"f\tg\"\t\"h\""},
        {"pipe", {'|'}, {{u"a", u"b"}}, u"\"a\"|\"b\""},
        {"byteOrderMark", {',', true}, {{u"a"}}, u"\uFEFF\"a\""},
        {"byteOrderMarkOnEmptyTable", {',', true}, {}, u"\uFEFF"},
        {"crlf", {',', false, CsvLineEnd::crlf}, {{u"a"}, {}, {u"b"}}, u"\"a\"\r\n\r\n\"b\""},
        {"crlfInsideCellKept", {',', false, CsvLineEnd::crlf}, {{u"a\r\nb"}}, u"\"a\r\nb\""},
        {"minimalQuotesOnlyBreakers",
         minimal,
         {{u"plain", u"a,b", u"q\"", u"cr\r", u"lf\n", u"semi;", u" space ", u""}},
         u"plain,\"a,b\",\"q\"\"\",\"cr\r\",\"lf\n\",semi;, space ,"},
        {"minimalQuotesTheSeparatorInUse",
         {';', false, CsvLineEnd::lf, CsvQuoting::minimal},
         {{u"a,b", u"c;d"}},
         u"a,b;\"c;d\""},
        {"minimalTabSeparator",
         {'\t', false, CsvLineEnd::lf, CsvQuoting::minimal},
         {{u"a\tb", u"c d"}},
         u"\"a\tb\"\tc d"},
        {"minimalLoneEmptyCellQuoted", minimal, {{u""}, {u"", u""}, {}}, u"\"\"\n,\n"},
        {"guardEachStarter",
         guard,
         {{u"=1", u"+1", u"-1", u"@x", u"\tx", u"\rx", u"x=1", u" =1", u"'x", u""}},
         u"\"'=1\",\"'+1\",\"'-1\",\"'@x\",\"'\tx\",\"'\rx\",\"x=1\",\" =1\",\"'x\",\"\""},
        {"guardWithMinimalQuoting",
         {',', false, CsvLineEnd::lf, CsvQuoting::minimal, true},
         {{u"=A1", u"=\"x\"", u"-1,5", u"\rx"}},
         u"'=A1,\"'=\"\"x\"\"\",\"'-1,5\",\"'\rx\""},
    };
    for (const DialectCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(csvFromArrays(c.table, c.dialect), c.expected);
        EXPECT_EQ(csvUtf8FromArrays(c.table, c.dialect), toUtf8(c.expected));
    }
}

struct ReadField {
    std::string text;
    bool quoted = false;
    bool operator==(const ReadField&) const = default;
};
using ReadRecords = std::vector<std::vector<ReadField>>;

// A small RFC 4180 reader for one dialect: fields quoted or not, "" inside quotes is one
// quote, records end at the dialect's line end (any other CR or LF outside quotes is field
// text, so a wrong line end shows). An empty line is a record without fields. Each field
// says whether it was quoted.
ReadRecords readCsv(std::string_view text, const CsvDialect& dialect) {
    ReadRecords records;
    if (text.empty()) return records;
    const std::string_view lineEnd = lineEndText(dialect.lineEnd);
    std::vector<ReadField> record;
    ReadField field;
    bool inQuotes = false;
    bool fieldStarted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (inQuotes) {
            if (ch != '"') {
                field.text += ch;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field.text += '"';
                ++i;
            } else {
                inQuotes = false;
            }
        } else if (ch == '"' && field.text.empty() && !field.quoted) {
            inQuotes = true;
            field.quoted = true;
            fieldStarted = true;
        } else if (ch == dialect.separator) {
            record.push_back(std::move(field));
            field = {};
            fieldStarted = true;
        } else if (text.substr(i, lineEnd.size()) == lineEnd) {
            if (fieldStarted) record.push_back(std::move(field));
            records.push_back(std::move(record));
            record.clear();
            field = {};
            fieldStarted = false;
            i += lineEnd.size() - 1;
        } else {
            field.text += ch;
            fieldStarted = true;
        }
    }
    if (fieldStarted) record.push_back(std::move(field));
    records.push_back(std::move(record));
    return records;
}

// What reading the table written in `dialect` must give: each cell as UTF-8, with "'" before
// it when the guard marks it, quoted when the quoting asks for it.
ReadRecords expectedRecords(const Table& table, const CsvDialect& dialect) {
    ReadRecords records;
    for (const auto& row : table) {
        records.emplace_back();
        for (const std::u16string_view cell : row) {
            const bool guarded = dialect.guardFormulas && !cell.empty() && startsFormula(cell[0]);
            const bool breaks = cell.find_first_of(u"\"\r\n") != Text::npos ||
                                cell.find(static_cast<char16_t>(dialect.separator)) != Text::npos;
            const bool quoted =
                dialect.quoting == CsvQuoting::all || breaks || (cell.empty() && row.size() == 1);
            records.back().push_back({(guarded ? "'" : "") + toUtf8(cell), quoted});
        }
    }
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
                                            u"\xDE00",     std::u16string(1, u'\0'),
                                            u";",          u"|",
                                            u"=",          u"-",
                                            u"@",          u"+",
                                            u"\r\n"};
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> count(1, 6);
    std::uniform_int_distribution<int> length(0, 24);
    std::vector<Row> rows(static_cast<size_t>(count(random)));
    for (Row& row : rows) {
        row.resize(static_cast<size_t>(count(random)));
        for (Text& cell : row) {
            for (int n = length(random); n > 0; --n) cell += pieces[pick(random)];
        }
    }
    const Table table = Table::fromRows(rows);
    return table;
}

// In every dialect, reading what was written gives the cells back (guarded ones after their
// "'"), each field quoted exactly when the dialect asks for it; the text and byte forms
// agree, and the byte-order mark stands first exactly when asked for.
TEST(CsvWriter, readerGetsTheTableBackInEveryDialect) {
    std::mt19937 random(20240611);
    const std::string bom = "\xEF\xBB\xBF";
    for (int round = 0; round < 60; ++round) {
        const Table table = randomTable(random);
        for (const CsvDialect& dialect : allDialects()) {
            SCOPED_TRACE(describe(dialect));
            const std::string csv = csvUtf8FromArrays(table, dialect);
            ASSERT_EQ(csv, toUtf8(csvFromArrays(table, dialect))) << "round " << round;
            ASSERT_EQ(csv.rfind(bom, 0) == 0, dialect.byteOrderMark) << "round " << round;
            const std::string_view body =
                std::string_view(csv).substr(dialect.byteOrderMark ? bom.size() : 0);
            ASSERT_EQ(readCsv(body, dialect), expectedRecords(table, dialect)) << "round " << round;
        }
    }
}

// Plain cells of every length up to past two blocks of sixteen units, with one unit that
// matters to the writer at each position, alone, beside a cell of its own, and after a
// non-ASCII unit at each other position: the byte form tests sixteen units at once, short
// cells as two overlapping halves, and a long cell's last block overlaps the one before.
TEST(CsvWriter, unitThatMattersAtEveryPosition) {
    const char16_t units[] = {u',', u';',  u'\t',     u'|',      u'"',   u'\r', u'\n',
                              u'=', u'\0', u'\u00E9', u'\u4E2D', 0xD83D, 0xDE00};
    Table table;
    for (size_t length = 1; length <= 40; ++length) {
        for (const char16_t unit : units) {
            for (size_t at = 0; at < length; ++at) {
                Text cell(length, u'k');
                cell[at] = unit;
                table.appendRow({cell});
                table.appendRow({u"x", cell});
                for (size_t other = 0; other < length; ++other) {
                    if (other == at || length % 7 != 5 || length > 19) continue;  // 5, 12, 19
                    Text mixed = cell;
                    mixed[other] = u'\u00FC';
                    table.appendRow({mixed});
                }
            }
        }
    }
    // The byte-order mark and the line ends play no part in how a field is written.
    for (const CsvDialect& dialect : allDialects()) {
        if (dialect.byteOrderMark || dialect.lineEnd != CsvLineEnd::lf) continue;
        SCOPED_TRACE(describe(dialect));
        const std::string csv = csvUtf8FromArrays(table, dialect);
        ASSERT_EQ(csv, toUtf8(csvFromArrays(table, dialect)));
        ASSERT_EQ(readCsv(csv, dialect), expectedRecords(table, dialect));
    }
}

// The byte form as the sink receives it, checking that every chunk is bounded.
std::string streamed(const Table& table, size_t& chunks, const CsvDialect& dialect) {
    std::string joined;
    chunks = 0;
    const bool whole = writeCsvUtf8FromArrays(
        table,
        [&](std::string_view chunk) {
            EXPECT_FALSE(chunk.empty());
            EXPECT_LE(chunk.size(), 256u * 1024u);
            joined += chunk;
            ++chunks;
            return true;
        },
        dialect);
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
        {"wideRecord", Table::fromRows({Row(60'000, u"Z\u00FCrich \u6771")})},
        {"manyRecords",
         Table::fromRows(std::vector<Row>(40'000, Row{u"75.5%", u"caf\u00E9", u"x\"y"}))},
        {"longGuardedCells",
         Table::fromRows(std::vector<Row>(3, Row{u"=" + Text(200'000, u'x'), u"-1"}))},
        // Under minimal quoting each of these is quoted after it is written, at every place
        // relative to the end of a chunk.
        {"quotedAfterWriting",
         Table::fromRows(std::vector<Row>(30'000, Row{u"more than sixteen units, then a comma"}))},
    };
    // Each option is on in at least one of these, and each separator is used.
    const CsvDialect dialects[] = {
        {},
        {';', true, CsvLineEnd::crlf, CsvQuoting::all, true},
        {'\t', false, CsvLineEnd::lf, CsvQuoting::minimal, false},
        {'|', true, CsvLineEnd::crlf, CsvQuoting::minimal, true},
    };
    for (const LongCase& c : cases) {
        for (const CsvDialect& dialect : dialects) {
            SCOPED_TRACE(std::string(c.name) + ", " + describe(dialect));
            size_t chunks = 0;
            EXPECT_EQ(streamed(c.table, chunks, dialect), toUtf8(csvFromArrays(c.table, dialect)));
            EXPECT_GT(chunks, 1u);
        }
    }
}

TEST(CsvWriter, refusedChunkStopsTheWriter) {
    const Table table = Table::fromRows(std::vector<Row>(100'000, Row{u"abc", u"\u00E9"}));
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
