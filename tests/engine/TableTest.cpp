// The packed table's building steps, where a fault would misplace text between cells, rows
// or tables: cells waiting for their row's end, moves that must leave an empty table, and
// growth of the text buffer while a cell is written in place.
#include "Table.h"

#include <gtest/gtest.h>

#include "HTMLTableParser.h"

namespace gridmint {
namespace {

TEST(Table, pendingCellsMoveOutWithTheirText) {
    Table table{{u"a", u"bc"}, {u""}};
    table.appendCell(u"next");
    table.appendCell(u"");
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.pendingCells(), 2u);
    const Table pending = table.takePendingCells();
    EXPECT_EQ(table, (Table{{u"a", u"bc"}, {u""}}));
    EXPECT_EQ(table.textSize(), 3u);
    Table carried = pending;
    carried.endRow();
    EXPECT_EQ(carried, (Table{{u"next", u""}}));
    table.appendRow({u"d"});
    EXPECT_EQ(table[2].toTexts(), std::vector<Text>{u"d"});
}

TEST(Table, movedFromIsEmptyAndReusable) {
    Table table{{u"x", u"y"}};
    Table moved = std::move(table);
    EXPECT_TRUE(table.empty());  // NOLINT(bugprone-use-after-move): the state is specified
    EXPECT_EQ(table.cellCount(), 0u);
    table.appendRow({u"z"});
    EXPECT_EQ(table, (Table{{u"z"}}));
    EXPECT_EQ(moved, (Table{{u"x", u"y"}}));
}

// Cells written in place across many regrowths keep their text, and rows their cells.
TEST(Table, inPlaceCellsSurviveGrowth) {
    Table table;
    std::vector<std::vector<Text>> rows(50);
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c <= r % 7; ++c) {
            const Text cell(r * 13 + c, static_cast<char16_t>(u'a' + c));
            char16_t* room = table.cellRoom(cell.size() + 16);
            std::copy(cell.begin(), cell.end(), room);
            table.finishCell(cell.size());
            rows[r].push_back(cell);
        }
        table.endRow();
    }
    EXPECT_EQ(table, Table::fromRows(rows));
    for (size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(table.at(r).toTexts(), rows[r]);
    EXPECT_THROW(table.at(rows.size()), std::out_of_range);
}

// A row left open at a table's end becomes the start of the next table's first row.
TEST(Table, aRowOpenAtATableEndStartsTheNextTable) {
    const auto parser = HTMLTableParser::initWithHTMLString(
        u"<table id=a><tr><td>1</td></tr><td>2</td></table>"
        u"<table id=b><td>3</td></tr></table>",
        InMemoryDefaults());
    const ResultDictionary& result = parser->getResultDictionary();
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result.at(0).second, (Table{{u"1"}}));
    EXPECT_EQ(result.at(1).second, (Table{{u"2", u"3"}}));
}

}  // namespace
}  // namespace gridmint
