#include "Table.h"

#include <ostream>
#include <stdexcept>

#include "Utf.h"

namespace gridmint {

bool operator==(const TableRow& a, const TableRow& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

std::u16string_view TableRow::at(size_t cell) const {
    if (cell >= size()) throw std::out_of_range("TableRow::at");
    return (*this)[cell];
}

TableRow Table::at(size_t row) const {
    if (row >= size()) throw std::out_of_range("Table::at");
    return (*this)[row];
}

Table::Table(const Table& other) : cellEnds_(other.cellEnds_), rowEnds_(other.rowEnds_) {
    reallocate(other.textSize_);
    std::copy_n(other.text_.get(), other.textSize_, text_.get());
    textSize_ = other.textSize_;
}

Table& Table::operator=(const Table& other) {
    if (this != &other) *this = Table(other);
    return *this;
}

Table::Table(std::initializer_list<std::initializer_list<std::u16string_view>> rows) {
    for (const auto& row : rows) appendRow(row);
}

Table Table::fromRows(const std::vector<std::vector<Text>>& rows) {
    Table table;
    size_t cells = 0;
    size_t units = 0;
    for (const auto& row : rows) {
        cells += row.size();
        for (const Text& cell : row) units += cell.size();
    }
    table.reserve(cells, units);
    table.rowEnds_.reserve(rows.size());
    for (const auto& row : rows) table.appendRow(row);
    return table;
}

void Table::appendRow(std::initializer_list<std::u16string_view> cells) {
    for (const std::u16string_view cell : cells) appendCell(cell);
    endRow();
}

Table Table::takePendingCells() {
    Table pending;
    const size_t firstPending = empty() ? 0 : rowEnds_.back();
    for (size_t cell = firstPending; cell < cellEnds_.size(); ++cell) {
        pending.appendCell(cellAt(cell));
    }
    textSize_ = firstPending == 0 ? 0 : cellEnds_[firstPending - 1];
    cellEnds_.resize(firstPending);
    return pending;
}

// The room at least doubles, so appending stays linear.
void Table::grow(size_t units) {
    reallocate(std::max({textSize_ + units, textCapacity_ * 2, size_t{64}}));
}

void Table::reallocate(size_t capacity) {
    std::unique_ptr<char16_t[]> moved(capacity != 0 ? new char16_t[capacity] : nullptr);
    if (textSize_ != 0) std::copy_n(text_.get(), textSize_, moved.get());
    text_ = std::move(moved);
    textCapacity_ = capacity;
}

void Table::reserve(size_t cells, size_t units) {
    cellEnds_.reserve(cellEnds_.size() + cells);
    if (textCapacity_ - textSize_ < units) reallocate(textSize_ + units);
}

bool operator==(const Table& a, const Table& b) {
    return a.text() == b.text() && a.cellEnds_ == b.cellEnds_ && a.rowEnds_ == b.rowEnds_;
}

std::ostream& operator<<(std::ostream& out, const Table& table) {
    out << '{';
    for (size_t r = 0; r < table.size(); ++r) {
        out << (r > 0 ? ", {" : "{");
        for (size_t c = 0; c < table[r].size(); ++c) {
            out << (c > 0 ? ", \"" : "\"") << toUtf8(table[r][c]) << '"';
        }
        out << '}';
    }
    return out << '}';
}

}  // namespace gridmint
