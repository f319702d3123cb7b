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
Text headerLabel(const Text& text, const CellLink* link) {
    if (link && !link->inHeaderCell) return link->address;
    return text.empty() ? Text(u"(link)") : text + u" (link)";
}

// `row` with its link columns; `next` walks the row's links, which come in column order.
Row withLinks(Row row, std::size_t rowIndex, const std::vector<std::size_t>& columns,
              const TableLinks& links, std::size_t& next) {
    if (rowIndex == 0) row.resize(std::max(row.size(), columns.back() + 1));
    Row out;
    out.reserve(row.size() + columns.size());
    auto linked = columns.begin();
    for (std::size_t c = 0; c < row.size(); ++c) {
        out.push_back(std::move(row[c]));
        if (linked == columns.end() || *linked != c) continue;
        ++linked;
        const CellLink* link = nullptr;
        if (next < links.size() && links[next].row == rowIndex && links[next].column == c) {
            link = &links[next++];
        }
        if (rowIndex == 0) {
            out.push_back(headerLabel(out.back(), link));
        } else {
            out.push_back(link ? link->address : Text());
        }
    }
    return out;
}

}  // namespace

Table withLinkColumns(Table table, const TableLinks& links) {
    if (links.empty() || table.empty()) return table;
    const std::vector<std::size_t> columns = linkedColumns(links);
    std::size_t next = 0;
    for (std::size_t r = 0; r < table.size(); ++r) {
        while (next < links.size() && links[next].row < r) ++next;
        table[r] = withLinks(std::move(table[r]), r, columns, links, next);
    }
    return table;
}

}  // namespace gridmint
