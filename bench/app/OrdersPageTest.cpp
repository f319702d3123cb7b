// The orders page is what the preview benchmark times, so it must hold the table it claims:
// the engine reads back every cell as the text the generator says it has, and the page is
// the same bytes on every run.
#include "OrdersPage.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "Defaults.h"
#include "HTMLTableParser.h"
#include "Log.h"
#include "Utf.h"

namespace gridmint::bench {
namespace {

std::unique_ptr<HTMLTableParser> parse(const std::string& html, const Defaults& defaults) {
    // The scan logs each table it collects; the test has no use for the line.
    LogSink previous = setLogSink([](std::string_view) {});
    auto parser = HTMLTableParser::initWithData(ByteBuffer::copyOf(html), encoding::utf8, defaults);
    setLogSink(std::move(previous));
    return parser;
}

struct Shape {
    const char* name;
    size_t rows;
    size_t columns;
};

// Past ten columns the kinds of cell repeat under numbered headings; 300 rows meet every
// customer, city, status and note several times.
constexpr Shape shapes[] = {
    {"heading row only", 1, 10},
    {"one column", 40, 1},
    {"every kind of cell, repeated columns", 300, 23},
};

TEST(OrdersPage, engineReadsEveryCellAsGenerated) {
    InMemoryDefaults defaults;
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const auto parser = parse(ordersPage(shape.rows, shape.columns), defaults);
        ASSERT_TRUE(parser);
        const ResultDictionary& tables = parser->getResultDictionary();
        ASSERT_EQ(tables.size(), 1u);
        EXPECT_EQ(tables.at(0).first, u"orders");
        const Table& table = tables.at(0).second;
        ASSERT_EQ(table.size(), shape.rows);
        for (size_t row = 0; row < shape.rows; ++row) {
            ASSERT_EQ(table[row].size(), shape.columns) << "row " << row;
            for (size_t column = 0; column < shape.columns; ++column) {
                EXPECT_EQ(table[row][column], fromUtf8(ordersCell(row, column).text))
                    << "row " << row << ", column " << column;
            }
        }
    }
}

// A page of plain ASCII cells would time an easier road than real pages take.
TEST(OrdersPage, cellsCarryReferencesNonAsciiQuotesAndLinks) {
    bool reference = false, nonAscii = false, quote = false, link = false, empty = false;
    for (size_t row = 1; row <= 200; ++row) {
        for (size_t column = 0; column < 10; ++column) {
            const OrdersCell cell = ordersCell(row, column);
            reference |= cell.html.find('&') != std::string::npos;
            nonAscii |= std::any_of(cell.text.begin(), cell.text.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
            quote |= cell.text.find('"') != std::string::npos;
            link |= cell.html.find("<a ") != std::string::npos;
            empty |= cell.text.empty();
        }
    }
    EXPECT_TRUE(reference);
    EXPECT_TRUE(nonAscii);
    EXPECT_TRUE(quote);
    EXPECT_TRUE(link);
    EXPECT_TRUE(empty);
}

TEST(OrdersPage, sameShapeGivesSameBytes) {
    EXPECT_EQ(ordersPage(500, 10), ordersPage(500, 10));
    EXPECT_NE(ordersPage(500, 10), ordersPage(501, 10));
}

}  // namespace
}  // namespace gridmint::bench
