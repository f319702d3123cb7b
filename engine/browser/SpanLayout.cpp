#include "SpanLayout.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace gridmint::browser {

namespace {

// HTML's rules for parsing a non-negative integer; nothing when there are no digits.
std::optional<std::uint64_t> parseNonNegative(std::string_view value) {
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t' || value[i] == '\n' ||
                                value[i] == '\f' || value[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    if (i == value.size() || value[i] < '0' || value[i] > '9') return std::nullopt;
    std::uint64_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = std::min<std::uint64_t>(number * 10 + static_cast<unsigned>(value[i] - '0'),
                                         std::uint64_t{1} << 40);
    }
    if (negative && number != 0) return std::nullopt;
    return number;
}

bool hasSpans(const std::vector<PendingRow>& rows) {
    for (const auto& row : rows) {
        for (const auto& cell : row) {
            if (cell.colspan != 1 || cell.rowspan != 1) return true;
        }
    }
    return false;
}

// Takes the budget for the cell's link and adds the link at `column`, when there is one and
// links are wanted.
bool addLink(const PendingCell& cell, size_t column, OutputBudget& budget, RowLinks* links) {
    if (!links || !cell.link) return true;
    if (!budget.takeUnits(cell.link->size())) return false;
    links->push_back({static_cast<std::uint32_t>(column), *cell.link, cell.header});
    return true;
}

bool asWritten(std::vector<PendingRow>& rows, OutputBudget& budget, std::vector<Row>& out,
               std::vector<RowLinks>* links) {
    for (auto& row : rows) {
        if (!budget.takeSlots(row.size())) return false;
        Row cells;
        cells.reserve(row.size());
        RowLinks rowLinks;
        for (auto& cell : row) {
            if (!budget.takeUnits(cell.text.size())) return false;
            if (!addLink(cell, cells.size(), budget, links ? &rowLinks : nullptr)) return false;
            cells.push_back(std::move(cell.text));
        }
        out.push_back(std::move(cells));
        if (links) links->push_back(std::move(rowLinks));
    }
    return true;
}

// Per column, down to which row (exclusive) a cell covers it, and which cell.
struct Claim {
    std::uint32_t coveredUntil = 0;
    std::uint32_t originRow = 0;
    std::uint32_t originColumn = 0;
    const PendingCell* cell = nullptr;
};

// A column's claim, and the claim of a later cell that reaches further down: the first cell
// keeps the slots both claim, the later one takes the slots below them.
struct Column {
    Claim now;
    Claim next;

    bool coveredAt(std::uint32_t y) {
        if (now.coveredUntil <= y && next.coveredUntil > y) {
            now = next;
            next = Claim{};
        }
        return now.coveredUntil > y;
    }
    void claim(const Claim& c, std::uint32_t y) {
        if (!coveredAt(y)) {
            now = c;
        } else if (c.coveredUntil > now.coveredUntil && c.coveredUntil > next.coveredUntil) {
            next = c;
        }
    }
};

}  // namespace

std::uint32_t parseColspan(std::string_view value) {
    const auto number = parseNonNegative(value);
    if (!number || *number == 0) return 1;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(*number, 1000));
}

std::uint32_t parseRowspan(std::string_view value) {
    const auto number = parseNonNegative(value);
    if (!number) return 1;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(*number, 65534));
}

bool layOutRowGroup(std::vector<PendingRow>& rows, SpanMode mode, OutputBudget& budget,
                    std::vector<Row>& out, std::vector<RowLinks>* links) {
    if (mode == SpanMode::none || !hasSpans(rows)) return asWritten(rows, budget, out, links);
    const auto rowCount = static_cast<std::uint32_t>(rows.size());
    std::vector<Column> columns;
    for (std::uint32_t y = 0; y < rowCount; ++y) {
        std::uint64_t x = 0;
        for (const PendingCell& cell : rows[y]) {
            while (x < columns.size() && columns[x].coveredAt(y)) ++x;
            const std::uint32_t height =
                cell.rowspan == 0 ? rowCount - y : std::min(cell.rowspan, rowCount - y);
            // The grid may not grow wider than the slots still allowed.
            if (x + cell.colspan > columns.size()) {
                if (!budget.takeSlots(0) || x + cell.colspan > OutputBudget::maxSlots) {
                    budget.takeSlots(OutputBudget::maxSlots + 1);
                    return false;
                }
                columns.resize(x + cell.colspan);
            }
            // Where two cells claim a slot, the first keeps it.
            const Claim claim{y + height, y, static_cast<std::uint32_t>(x), &cell};
            for (std::uint64_t c = x; c < x + cell.colspan; ++c) columns[c].claim(claim, y);
            x += cell.colspan;
        }
        size_t width = columns.size();
        while (width > 0 && !columns[width - 1].coveredAt(y)) --width;
        if (!budget.takeSlots(width)) return false;
        Row slots(width);
        RowLinks rowLinks;
        for (size_t c = 0; c < width; ++c) {
            if (!columns[c].coveredAt(y)) continue;
            const Claim& column = columns[c].now;
            const bool origin = column.originRow == y && column.originColumn == c;
            if (mode == SpanMode::empty && !origin) continue;
            if (!budget.takeUnits(column.cell->text.size())) return false;
            if (!addLink(*column.cell, c, budget, links ? &rowLinks : nullptr)) return false;
            slots[c] = column.cell->text;
        }
        out.push_back(std::move(slots));
        if (links) links->push_back(std::move(rowLinks));
    }
    return true;
}

}  // namespace gridmint::browser
