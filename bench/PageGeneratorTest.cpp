// The generated pages are what the benchmark measures, so they must be the same for a seed,
// exactly as large as asked, and hold the tables they claim when the engine reads them.
#include "PageGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "Defaults.h"
#include "HTMLTableParser.h"
#include "Log.h"
#include "Utf.h"

namespace gridmint::bench {
namespace {

struct Counted {
    size_t tables = 0;
    size_t rows = 0;
    size_t cells = 0;
    bool replacementSeen = false;
    bool nonAsciiSeen = false;
};

Counted scan(const std::string& html) {
    InMemoryDefaults defaults;
    // The scan logs every table name it collects; thousands of lines would bury the result.
    LogSink previous = setLogSink([](std::string_view) {});
    auto parser = HTMLTableParser::initWithData(ByteBuffer::copyOf(html), encoding::utf8, defaults);
    setLogSink(std::move(previous));
    Counted counted;
    if (!parser) return counted;
    for (const auto& [name, table] : parser->getResultDictionary()) {
        ++counted.tables;
        counted.rows += table.size();
        for (const TableRow row : table) {
            counted.cells += row.size();
            for (const std::u16string_view cell : row) {
                for (const char16_t c : cell) {
                    counted.replacementSeen |= c == u'\xFFFD';
                    counted.nonAsciiSeen |= c > 0x7F;
                }
            }
        }
    }
    return counted;
}

constexpr PageKind kinds[] = {PageKind::table, PageKind::text};

const char* nameOf(PageKind kind) {
    return kind == PageKind::table ? "table" : "text";
}

TEST(PageGenerator, sameSeedGivesSameBytesAndOtherSeedOtherBytes) {
    for (const PageKind kind : kinds) {
        SCOPED_TRACE(nameOf(kind));
        const Page first = generatePage(kind, 300'000, 7);
        EXPECT_EQ(first.html, generatePage(kind, 300'000, 7).html);
        EXPECT_NE(first.html, generatePage(kind, 300'000, 8).html);
    }
}

TEST(PageGenerator, pageHasExactlyTheRequestedSize) {
    constexpr size_t sizes[] = {4'000, 65'537, 1'000'003};
    for (const PageKind kind : kinds) {
        for (const size_t size : sizes) {
            SCOPED_TRACE(std::string(nameOf(kind)) + " " + std::to_string(size));
            const Page page = generatePage(kind, size, 3);
            EXPECT_EQ(page.html.size(), size);
            EXPECT_TRUE(isValidUtf8(page.html));
        }
    }
}

// Every generated table is closed and every row ends with its end tag, so the engine stores
// each one with all its rows and cells ("</thead>" ends no cell); the commented-out tables
// must not show at all.
TEST(PageGenerator, engineFindsTheTablesRowsAndCellsWritten) {
    for (const PageKind kind : kinds) {
        SCOPED_TRACE(nameOf(kind));
        const Page page = generatePage(kind, 2'000'000, 11);
        ASSERT_GT(page.stats.tables, 0u);
        ASSERT_GT(page.stats.commentedOutTables, 0u);
        const Counted counted = scan(page.html);
        EXPECT_EQ(counted.tables, page.stats.tables);
        EXPECT_EQ(counted.rows, page.stats.rows);
        EXPECT_EQ(counted.cells, page.stats.cells);
        EXPECT_FALSE(counted.replacementSeen);
        EXPECT_TRUE(counted.nonAsciiSeen);
    }
}

TEST(PageGenerator, tablePagesAreDenseAndTextPagesSparse) {
    const Page tablePage = generatePage(PageKind::table, 2'000'000, 5);
    const double bytesPerCell =
        static_cast<double>(tablePage.html.size()) / static_cast<double>(tablePage.stats.cells);
    EXPECT_GT(bytesPerCell, 40.0);
    EXPECT_LT(bytesPerCell, 60.0);

    const Page textPage = generatePage(PageKind::text, 2'000'000, 5);
    EXPECT_GT(textPage.html.size() / textPage.stats.tables, 50'000u);
    EXPECT_GT(textPage.html.size() / textPage.stats.cells, 500u);
}

TEST(PageGenerator, sampleCellsCarryNoTagsAndSomeReferencesAndNonAscii) {
    const auto cells = sampleCellBytes(500, 9);
    ASSERT_EQ(cells.size(), 500u);
    size_t withReference = 0, nonAscii = 0;
    for (const std::string& cell : cells) {
        EXPECT_EQ(cell.find_first_of("<>"), std::string::npos) << cell;
        EXPECT_TRUE(isValidUtf8(cell)) << cell;
        withReference += cell.find('&') != std::string::npos;
        nonAscii += !std::all_of(cell.begin(), cell.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    }
    EXPECT_GT(withReference, 25u);
    EXPECT_GT(nonAscii, 25u);
}

}  // namespace
}  // namespace gridmint::bench
