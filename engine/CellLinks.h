// The links a table's cells hold, kept beside the table's text: for each cell that has one,
// the address of its first link. CSV has no place for them inside a cell, so for CSV they
// become columns of their own, each right after the column whose cells they belong to.
#pragma once

#include <cstddef>
#include <vector>

#include "Table.h"
#include "Text.h"

namespace gridmint {

struct CellLink {
    std::size_t row = 0;
    std::size_t column = 0;
    Text address;
    bool inHeaderCell = false;  // the cell was a header cell (<th>)
};

// A table's links, by row and then by column.
using TableLinks = std::vector<CellLink>;

// The table with a link column right after each column in which any row has a link. A row
// that reaches that column gets its link there, or an empty cell. The first row, padded with
// empty cells when it is shorter, names the added column: its own text in that column and
// " (link)" ("(link)" alone for an empty cell). Only when its cell there is a data cell with a
// link does it keep that link's address instead, since a label in its place would lose it.
Table withLinkColumns(Table table, const TableLinks& links);

}  // namespace gridmint
