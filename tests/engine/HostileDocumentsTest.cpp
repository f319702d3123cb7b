// Hostile documents: huge, degenerate or garbled pages, built in memory. Each must come back
// with exactly the tables it holds, in time linear in its size. Nothing here measures time;
// the sizes are chosen so that work growing with the square of the size would run far past
// CTest's timeout. The unit run uses sizes that keep it quick (also under the sanitizers);
// with GRIDMINT_HOSTILE_FULL_SIZE set, the run labelled "hostile" uses the full sizes
// (a 200 MB page, a 100 MB cell, a million tags). Each case prints its time and the
// process's peak memory so far.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "TestSupport.h"
#include "Utf.h"

namespace gridmint {
namespace {

bool fullSize() {
    return std::getenv("GRIDMINT_HOSTILE_FULL_SIZE") != nullptr;
}

// The count or byte size of one case: the full one, or the unit run's.
size_t sized(size_t unit, size_t full) {
    return fullSize() ? full : unit;
}

// Pages are built in place: a copy of a 200 MB page would double the memory measured.
void appendRepeated(std::string& out, std::string_view piece, size_t times) {
    out.reserve(out.size() + piece.size() * times);
    for (size_t i = 0; i < times; ++i) out += piece;
}

std::string repeated(std::string_view piece, size_t times) {
    std::string out;
    appendRepeated(out, piece, times);
    return out;
}

// `prefix`, `times` copies of `piece`, `suffix`.
std::string wrapped(std::string_view prefix, std::string_view piece, size_t times,
                    std::string_view suffix) {
    std::string out;
    out.reserve(prefix.size() + piece.size() * times + suffix.size());
    out += prefix;
    appendRepeated(out, piece, times);
    out += suffix;
    return out;
}

Text text(std::string_view utf8) {
    return fromUtf8(utf8);
}

// Whether `cell` is `head` followed by `times` copies of `piece`, checked without building
// that text: the figures printed should be the engine's memory, not the test's.
bool isRepeated(std::u16string_view cell, std::u16string_view head, std::u16string_view piece,
                size_t times) {
    if (cell.size() != head.size() + piece.size() * times || !cell.starts_with(head)) return false;
    for (size_t at = head.size(); at < cell.size(); at += piece.size()) {
        if (cell.substr(at, piece.size()) != piece) return false;
    }
    return true;
}

class HostileDocuments : public ::testing::Test {
  protected:
    void SetUp() override { start_ = std::chrono::steady_clock::now(); }

    void TearDown() override {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("[ figures  ] %.2f s, peak memory %ld MB\n", elapsed.count(),
                    usage.ru_maxrss / 1024);
    }

    // The page's tables. The page is handed over without a copy; log lines (one per id value,
    // say) are dropped. The unit run also reads the page byte at a time, which must agree;
    // the full-size run leaves that out, so its figures are those of the real route.
    const ResultDictionary& parse(std::string page, TextEncoding encoding = encoding::utf8) {
        InMemoryDefaults defaults;
        LogSink previous = setLogSink([](std::string_view) {});
        std::unique_ptr<HTMLTableParser> reference;
        if (!fullSize()) {
            reference = HTMLTableParser::initWithData(ByteBuffer::copyOf(page), encoding, defaults,
                                                      ScanMode::byteAtATime);
        }
        parser_ = HTMLTableParser::initWithData(ByteBuffer(std::move(page)), encoding, defaults,
                                                ScanMode::skipRuns);
        setLogSink(std::move(previous));
        if (!parser_) {
            ADD_FAILURE() << "no parser";
            return empty_;
        }
        const ResultDictionary& result = parser_->getResultDictionary();
        expectWellFormed(result);
        if (reference) {
            const ResultDictionary& expected = reference->getResultDictionary();
            EXPECT_EQ(result.size(), expected.size()) << "the scan modes disagree";
            for (size_t i = 0; i < std::min(result.size(), expected.size()); ++i) {
                EXPECT_TRUE(result.at(i) == expected.at(i))
                    << "the scan modes disagree, table " << i;
            }
        }
        return result;
    }

    // Every table has a row and every row a cell, names are unique, and no cell starts or
    // ends with white space or holds a line break.
    static void expectWellFormed(const ResultDictionary& result) {
        std::unordered_set<std::u16string_view> names;
        for (const auto& [name, table] : result) {
            EXPECT_TRUE(names.insert(name).second) << "two tables named " << toUtf8(name);
            EXPECT_FALSE(table.empty()) << "a table without rows";
            for (const TableRow row : table) {
                EXPECT_FALSE(row.empty()) << "a row without cells";
                for (const std::u16string_view cell : row) {
                    if (cell.empty()) continue;
                    EXPECT_FALSE(isWhiteSpace(cell.front()) || isWhiteSpace(cell.back()))
                        << "untrimmed cell " << toUtf8(cell);
                    EXPECT_EQ(cell.find_first_of(u"\r\n"), cell.npos) << "line break in a cell";
                }
            }
        }
    }

    // The only cell of a table stored under `name`, or nothing when the table is not so.
    static std::optional<std::u16string_view> singleCell(const ResultDictionary::Entry& entry,
                                                         const Text& name) {
        EXPECT_TRUE(entry.first == name) << toUtf8(entry.first);
        const Table& table = entry.second;
        EXPECT_TRUE(table.size() == 1 && table[0].size() == 1) << "not a table of one cell";
        if (table.size() == 1 && table[0].size() == 1) return table[0][0];
        return std::nullopt;
    }

    static void expectSingleCell(const ResultDictionary::Entry& entry, const Text& name,
                                 const Text& cell) {
        if (const auto only = singleCell(entry, name)) {
            EXPECT_TRUE(*only == cell) << toUtf8(*only).substr(0, 200);
        }
    }

    static void expectSingleCell(const ResultDictionary::Entry& entry, const Text& name,
                                 std::u16string_view head, std::u16string_view piece,
                                 size_t times) {
        if (const auto only = singleCell(entry, name)) {
            EXPECT_TRUE(isRepeated(*only, head, piece, times)) << toUtf8(*only).substr(0, 200);
        }
    }

  private:
    std::chrono::steady_clock::time_point start_;
    std::unique_ptr<HTMLTableParser> parser_;
    ResultDictionary empty_;
};

constexpr std::string_view smallTable = "<table><tr><td>edge</td></tr></table>";

TEST_F(HostileDocuments, textWithoutTags) {
    const std::string line = "Lorem ipsum dolor sit amet & consectetur; 12345 \xC3\xA9t\xC3\xA9\n";
    const size_t lines = sized(20'000'000, 200'000'000) / line.size();
    std::string page;
    page.reserve(lines * line.size() + 2 * smallTable.size());
    page += smallTable;
    appendRepeated(page, line, lines);
    page += smallTable;
    const ResultDictionary& result = parse(std::move(page));
    ASSERT_EQ(result.size(), 2u);
    expectSingleCell(result.at(0), u"noclass 1", u"edge");
    expectSingleCell(result.at(1), u"noclass 2", u"edge");
}

TEST_F(HostileDocuments, oneHugeCellComesBackIntactAndTrimmed) {
    // A reference and multi-byte characters in every piece, white space around them all.
    const std::string_view piece = "Z\xC3\xBCrich&amp;\xE6\x9D\xB1\xE4\xBA\xAC ";
    const Text decoded = u"Z\u00FCrich&\u6771\u4EAC ";
    const size_t pieces = sized(10'000'000, 100'000'000) / piece.size();
    std::string page = "<table><tr><td>\n  ";
    appendRepeated(page, piece, pieces);
    page += "\t</td></tr></table>";
    const ResultDictionary& result = parse(std::move(page));
    ASSERT_EQ(result.size(), 1u);
    ASSERT_EQ(result.at(0).second.size(), 1u);
    ASSERT_EQ(result.at(0).second[0].size(), 1u);
    // The last piece's space is trimmed: the cell is that piece after all the others.
    const std::u16string_view cell = result.at(0).second[0][0];
    const std::u16string_view lastPiece =
        std::u16string_view(decoded).substr(0, decoded.size() - 1);
    ASSERT_EQ(cell.size(), pieces * decoded.size() - 1);
    EXPECT_TRUE(
        isRepeated(cell.substr(0, cell.size() - lastPiece.size()), u"", decoded, pieces - 1));
    EXPECT_TRUE(cell.ends_with(lastPiece));
}

TEST_F(HostileDocuments, unclosedCellsShareOneCell) {
    // Without cell end tags every "<td>" only leaves a space, so all the text is one cell.
    const size_t cells = sized(200'000, 1'000'000);
    const ResultDictionary& result =
        parse(wrapped("<table><tr>", "<td>x", cells, "</td></tr></table>"));
    ASSERT_EQ(result.size(), 1u);
    expectSingleCell(result.at(0), u"noclass 1", u"x", u" x", cells - 1);
}

TEST_F(HostileDocuments, tablesWithoutEndTagsGatherIntoOne) {
    // Rows end, tables never do, until the very end: one table of every row.
    const size_t tables = sized(200'000, 1'000'000);
    const ResultDictionary& result =
        parse(wrapped("", "<table><tr><td>c</td></tr>", tables, "</table>"));
    ASSERT_EQ(result.size(), 1u);
    EXPECT_TRUE(result.at(0).first == u"noclass 1");
    const Table& table = result.at(0).second;
    ASSERT_EQ(table.size(), tables);
    for (const TableRow row : table) ASSERT_TRUE(row.toTexts() == Row{u"c"});
}

TEST_F(HostileDocuments, manyTablesWithOneIdGetNumberedNames) {
    const size_t tables = sized(50'000, 100'000);
    std::string page;
    for (size_t i = 0; i < tables; ++i) {
        page += "<table id=\"t\"><tr><td>" + std::to_string(i) + "</td></tr></table>";
    }
    const ResultDictionary& result = parse(std::move(page));
    ASSERT_EQ(result.size(), tables);
    for (size_t i = 0; i < tables; ++i) {
        const Text name = i == 0 ? Text(u"t") : text("t (" + std::to_string(i) + ")");
        expectSingleCell(result.at(i), name, text(std::to_string(i)));
    }
}

TEST_F(HostileDocuments, longAttributeValuesAreCutTo998Bytes) {
    // Values of 998 bytes and more, quoted three ways; all share their first 998 bytes, so
    // every table gets that name, numbered.
    const size_t tables = sized(20'000, 100'000);
    const std::string base(998, 'v');
    std::string page;
    for (size_t i = 0; i < tables; ++i) {
        const std::string value = base + std::string(i % 7, 'w') + std::to_string(i);
        const char* const quotes[] = {"\"", "'", ""};
        const char* quote = quotes[i % 3];
        page += std::string("<table id=") + quote + value + quote + "><tr><td>" +
                std::to_string(i) + "</td></tr></table>";
    }
    const ResultDictionary& result = parse(std::move(page));
    ASSERT_EQ(result.size(), tables);
    const Text name = text(base);
    for (size_t i = 0; i < tables; ++i) {
        const Text expected = i == 0 ? name : name + text(" (" + std::to_string(i) + ")");
        expectSingleCell(result.at(i), expected, text(std::to_string(i)));
    }
}

TEST_F(HostileDocuments, deeplyNestedTables) {
    // The innermost end tags store every cell seen so far as one table; each outer level then
    // ends an empty cell, row and table of its own.
    const size_t levels = 10'000;
    std::string page;
    Text firstCell;
    for (size_t i = 0; i < levels; ++i) {
        page += "<table><tr><td>c" + std::to_string(i);
        // Three tag ends leave three spaces between words, which become two.
        if (i > 0) firstCell += u"  ";
        firstCell += text(std::string("c").append(std::to_string(i)));
    }
    page += repeated("</td></tr></table>", levels);
    const ResultDictionary& result = parse(std::move(page));
    ASSERT_EQ(result.size(), levels);
    expectSingleCell(result.at(0), u"noclass 1", firstCell);
    for (size_t i = 1; i < levels; ++i) {
        expectSingleCell(result.at(i), text("noclass " + std::to_string(i + 1)), u"");
    }
}

TEST_F(HostileDocuments, onlyAmpersands) {
    const size_t count = sized(5'000'000, 50'000'000);
    EXPECT_TRUE(parse(std::string(count, '&')).empty());

    // In a cell: no reference among them but the last, which resolves to an "&" again.
    const ResultDictionary& result =
        parse(wrapped("<table><tr><td>", "&", count, "amp;</td></tr></table>"));
    ASSERT_EQ(result.size(), 1u);
    expectSingleCell(result.at(0), u"noclass 1", u"", u"&", count);
}

TEST_F(HostileDocuments, onlyOpeningBrackets) {
    const size_t count = sized(5'000'000, 50'000'000);  // even
    EXPECT_TRUE(parse(std::string(count, '<')).empty());

    // Each "<" opens a tag, so nothing after the "x" is text. A "<" that does not fit an end
    // tag sends its recogniser back to idle without starting a new match, so after an even
    // number of them the "<" of "</td>" begins the end tag, and after an odd number it does
    // not, and the cell never ends.
    const std::string_view start = "<table><tr><td>x";
    const std::string_view end = "</td></tr></table>";
    const ResultDictionary& result = parse(wrapped(start, "<", count, end));
    ASSERT_EQ(result.size(), 1u);
    expectSingleCell(result.at(0), u"noclass 1", u"x");
    EXPECT_TRUE(parse(wrapped(start, "<", count + 1, end)).empty());
}

TEST_F(HostileDocuments, onlyCommentEnds) {
    const size_t count = sized(2'000'000, 20'000'000);
    EXPECT_TRUE(parse(repeated("-->", count)).empty());

    // Outside a comment "-->" is two dashes of text and a tag end, which leaves a space.
    const ResultDictionary& result =
        parse(wrapped("<table><tr><td>x", "-->", count, "</td></tr></table>"));
    ASSERT_EQ(result.size(), 1u);
    expectSingleCell(result.at(0), u"noclass 1", u"x--", u" --", count - 1);
}

TEST_F(HostileDocuments, nulBytesEverywhere) {
    const size_t count = sized(5'000'000, 50'000'000);
    EXPECT_TRUE(parse(std::string(count, '\0')).empty());

    // A NUL after every byte breaks every tag: no table.
    std::string interleaved;
    for (char c : repeated(smallTable, 1000)) {
        interleaved += c;
        interleaved += '\0';
    }
    EXPECT_TRUE(parse(std::move(interleaved)).empty());

    // NUL is text like any other byte, and not white space.
    using namespace std::string_literals;
    const size_t tables = sized(100'000, 1'000'000);
    const ResultDictionary& result =
        parse(repeated("<table><tr><td>\0a\0</td></tr></table>"s, tables));
    ASSERT_EQ(result.size(), tables);
    for (size_t i = 0; i < tables; ++i) {
        expectSingleCell(result.at(i), text("noclass " + std::to_string(i + 1)), u"\0a\0"s);
    }
}

// Every byte value in every position of a small page, written over the byte there and
// inserted before it. No change can make a second table (no other bytes can finish a table
// end tag), and no change after the table end tag can change the table.
TEST_F(HostileDocuments, everyByteValueInEveryPosition) {
    const std::string page =
        "<table id=\"a&amp;b\" class=c><tr><td>x &lt; y</td><td>z\r\n</td></tr></table>"
        "<!-- c --><script>s</script>";
    const size_t tableEnd = page.find("</table>") + 8;
    const ResultDictionary original = parse(page);
    ASSERT_EQ(original.size(), 1u);

    for (size_t position = 0; position <= page.size(); ++position) {
        for (int value = 0; value < 256; ++value) {
            SCOPED_TRACE("position " + std::to_string(position) + ", byte " +
                         std::to_string(value));
            std::string changed = page;
            if (position < page.size()) {
                changed[position] = static_cast<char>(value);
                const ResultDictionary& written = parse(changed);
                ASSERT_LE(written.size(), 1u);
                if (position >= tableEnd) {
                    ASSERT_EQ(test::describe(written), test::describe(original));
                }
            }
            changed = page;
            changed.insert(position, 1, static_cast<char>(value));
            const ResultDictionary& inserted = parse(std::move(changed));
            ASSERT_LE(inserted.size(), 1u);
            if (position >= tableEnd) {
                ASSERT_EQ(test::describe(inserted), test::describe(original));
            }
        }
    }
}

// Every ordered pair of byte values inside one table, decoded in every encoding there is: the
// cells come back trimmed and without line breaks, in both scan modes alike.
TEST_F(HostileDocuments, everyBytePairInACellInEveryEncoding) {
    std::string pairs;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            pairs += static_cast<char>(first);
            pairs += static_cast<char>(second);
        }
    }
    // The bytes hold "<" and ">", so the cell text is what lies between tags: many pieces.
    const std::string page = "<table><tr><td>" + pairs + "</td></tr></table>";
    const TextEncoding encodings[] = {
        encoding::none,     encoding::ascii,      encoding::utf8,  encoding::isoLatin1,
        encoding::shiftJIS, encoding::isoLatin2,  encoding::utf16, encoding::windows1252,
        encoding::tis620,   encoding::windows874, encoding::gbk,   encoding::hzGB2312,
        encoding::gb2312,   encoding::big5};
    for (TextEncoding encoding : encodings) {
        SCOPED_TRACE("encoding " + std::to_string(encoding));
        EXPECT_FALSE(parse(page, encoding).empty());
    }
}

}  // namespace
}  // namespace gridmint
