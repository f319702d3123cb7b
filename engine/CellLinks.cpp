#include "CellLinks.h"

#include <algorithm>

namespace gridmint {

namespace {

// The columns that get a link column, in order.
std::vector<std::size_t> linkedColumns(const TableLinks& links) {
    std::vector<std::size_t> columns;
    columns.reserve(links.size());
    for (const CellLink& link : links) columns.push_back(link.column);
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    return columns;
}

// The first row's cell in a link column, beside the cell holding `text`.
Text headerLabel(std::u16string_view text, const CellLink* link) {
    if (link && !link->inHeaderCell) return link->address;
    return text.empty() ? Text(u"(link)") : Text(text) + u" (link)";
}

// Appends `row` with its link columns to `out`; `next` walks the row's links, which come in
// column order. The first row is padded to reach the last link column.
void appendWithLinks(Table& out, TableRow row, std::size_t rowIndex,
                     const std::vector<std::size_t>& columns, const TableLinks& links,
                     std::size_t& next) {
    const std::size_t width = rowIndex == 0 ? std::max(row.size(), columns.back() + 1) : row.size();
    auto linked = columns.begin();
    for (std::size_t c = 0; c < width; ++c) {
        const std::u16string_view text = c < row.size() ? row[c] : std::u16string_view();
        out.appendCell(text);
        if (linked == columns.end() || *linked != c) continue;
        ++linked;
        const CellLink* link = nullptr;
        if (next < links.size() && links[next].row == rowIndex && links[next].column == c) {
            link = &links[next++];
        }
        if (rowIndex == 0) {
            out.appendCell(headerLabel(text, link));
        } else {
            out.appendCell(link ? std::u16string_view(link->address) : std::u16string_view());
        }
    }
    out.endRow();
}

}  // namespace

Table withLinkColumns(Table table, const TableLinks& links) {
    if (links.empty() || table.empty()) return table;
    const std::vector<std::size_t> columns = linkedColumns(links);
    Table out;
    out.reserve(table.cellCount() + table.size() * columns.size(), table.textSize());
    std::size_t next = 0;
    for (std::size_t r = 0; r < table.size(); ++r) {
        while (next < links.size() && links[next].row < r) ++next;
        appendWithLinks(out, table[r], r, columns, links, next);
    }
    return out;
}

}  // namespace gridmint
