// A page holding one long table of orders, the kind a user previews in the application: short
// cells (codes, dates, names, amounts), a few written with character references or in
// non-ASCII UTF-8, a quote here and a link there. Every cell is computed from its row and
// column alone, so the page is the same on every run and platform, and a check can ask what
// any cell should read without keeping the whole table.
#pragma once

#include <cstddef>
#include <string>

namespace gridmint::bench {

struct OrdersCell {
    std::string html;  // as the page writes it, between the cell's tags
    std::string text;  // what the cell reads once decoded, trimmed and flattened (UTF-8)
};

// Row 0 is the heading row (th cells); rows 1 and on are orders (td cells). Past ten
// columns the ten kinds of cell repeat.
OrdersCell ordersCell(size_t row, size_t column);

// A UTF-8 page, declared so, whose only table ("orders") has `rows` rows, the heading row
// included, of `columns` cells each; one row per line, as a page copied from a site reads.
// The heading row stands in the table's body, not in a thead section, because the scan
// counts "</thead>" as a cell end and the table would no longer be `columns` wide.
std::string ordersPage(size_t rows, size_t columns);

}  // namespace gridmint::bench
