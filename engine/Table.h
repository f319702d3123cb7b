// One table of a page, packed: the text of all its cells in one UTF-16 buffer, in order, with
// the end of each cell and of each row as offsets. A cell is read as a u16string_view into
// that buffer and a row as a range of cells, so a table costs a few allocations however many
// cells it has, and a reader walks its cells in memory order. It is built by appending cells
// and ending rows, and moved, not copied, from the scan to the result and its readers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "Text.h"

namespace gridmint {

class Table;
struct CellAt;
struct RowAt;

// A random-access iterator over the positions of a table's rows or cells, reading the one at
// each position with `Read` (RowAt or CellAt, defined once Table is).
template <class Value, class Read>
class TablePositionIterator {
  public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Value;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Value;

    TablePositionIterator() = default;
    TablePositionIterator(const Table* table, size_t position)
        : table_(table), position_(position) {}
    Value operator*() const { return Read{}(*table_, position_); }
    TablePositionIterator& operator++() { return ++position_, *this; }
    TablePositionIterator operator++(int) { return {table_, position_++}; }
    TablePositionIterator& operator--() { return --position_, *this; }
    TablePositionIterator& operator+=(difference_type n) { return position_ += n, *this; }
    TablePositionIterator operator+(difference_type n) const { return {table_, position_ + n}; }
    difference_type operator-(const TablePositionIterator& other) const {
        return static_cast<difference_type>(position_) -
               static_cast<difference_type>(other.position_);
    }
    bool operator==(const TablePositionIterator& other) const {
        return position_ == other.position_;
    }

  private:
    const Table* table_ = nullptr;
    size_t position_ = 0;
};

// The cells of one row of a Table; valid while the table is neither changed nor destroyed.
class TableRow {
  public:
    // Walks the cells by their place in the table, so it outlives the row value it came from.
    using iterator = TablePositionIterator<std::u16string_view, CellAt>;

    TableRow(const Table& table, size_t firstCell, size_t endCell)
        : table_(&table), firstCell_(firstCell), endCell_(endCell) {}

    size_t size() const { return endCell_ - firstCell_; }
    bool empty() const { return endCell_ == firstCell_; }
    std::u16string_view operator[](size_t cell) const;
    std::u16string_view front() const { return (*this)[0]; }
    std::u16string_view back() const { return (*this)[size() - 1]; }
    // The cell at `cell`; std::out_of_range past the last.
    std::u16string_view at(size_t cell) const;
    // The code units its cells hold together.
    size_t textSize() const;
    iterator begin() const { return {table_, firstCell_}; }
    iterator end() const { return {table_, endCell_}; }
    // The row's cells as strings of their own.
    std::vector<Text> toTexts() const { return std::vector<Text>(begin(), end()); }

    friend bool operator==(const TableRow& a, const TableRow& b);

  private:
    const Table* table_;
    size_t firstCell_;
    size_t endCell_;
};

class Table {
  public:
    using iterator = TablePositionIterator<TableRow, RowAt>;

    Table() = default;
    // A table moved from is empty.
    Table(Table&& other) noexcept { swap(other); }
    Table& operator=(Table&& other) noexcept {
        Table(std::move(other)).swap(*this);
        return *this;
    }
    Table(const Table& other);
    Table& operator=(const Table& other);
    // A table written out, for tests and small callers: Table{{u"a", u"b"}, {u"c"}}.
    Table(std::initializer_list<std::initializer_list<std::u16string_view>> rows);
    // The rows of separately held cells, copied into one buffer.
    static Table fromRows(const std::vector<std::vector<Text>>& rows);

    // Rows.
    size_t size() const { return rowEnds_.size(); }
    bool empty() const { return rowEnds_.empty(); }
    TableRow operator[](size_t row) const {
        return TableRow(*this, row == 0 ? 0 : rowEnds_[row - 1], rowEnds_[row]);
    }
    TableRow front() const { return (*this)[0]; }
    TableRow back() const { return (*this)[size() - 1]; }
    // The row at `row`; std::out_of_range past the last.
    TableRow at(size_t row) const;
    iterator begin() const { return {this, 0}; }
    iterator end() const { return {this, size()}; }

    // Every cell of every row, and the text they hold together.
    size_t cellCount() const { return cellEnds_.size(); }
    size_t textSize() const { return textSize_; }
    // The text of the cell at `index` among all the table's cells, counted across rows.
    std::u16string_view cellAt(size_t index) const {
        const size_t start = cellStart(index);
        return std::u16string_view(text_.get() + start, cellEnds_[index] - start);
    }

    // Building: cells are appended to the row being built, which endRow() closes. A row
    // needs no cell; cells not yet closed into a row are not part of size() or of any row.
    void appendCell(std::u16string_view text) {
        std::copy(text.begin(), text.end(), cellRoom(text.size()));
        finishCell(text.size());
    }
    // Writing a cell in place: room for `units` code units at the end of the text, valid
    // until the next change, of which finishCell keeps the first `used` as the new cell.
    char16_t* cellRoom(size_t units) {
        if (textCapacity_ - textSize_ < units) grow(units);
        return text_.get() + textSize_;
    }
    void finishCell(size_t used) {
        textSize_ += used;
        cellEnds_.push_back(textSize_);
    }
    void endRow() { rowEnds_.push_back(cellEnds_.size()); }
    void appendRow(std::initializer_list<std::u16string_view> cells);
    template <class Cells>
    void appendRow(const Cells& cells) {
        for (const auto& cell : cells) appendCell(cell);
        endRow();
    }
    // The cells appended since the last row ended.
    size_t pendingCells() const { return cellEnds_.size() - (empty() ? 0 : rowEnds_.back()); }
    // Moves the cells not yet closed into a row out into a table of their own, where they
    // are again waiting for their row's end.
    Table takePendingCells();
    // Room for `cells` more cells holding `units` more code units.
    void reserve(size_t cells, size_t units);

    friend bool operator==(const Table& a, const Table& b);

    void swap(Table& other) noexcept {
        std::swap(text_, other.text_);
        std::swap(textSize_, other.textSize_);
        std::swap(textCapacity_, other.textCapacity_);
        cellEnds_.swap(other.cellEnds_);
        rowEnds_.swap(other.rowEnds_);
    }

  private:
    friend class TableRow;
    size_t cellStart(size_t index) const { return index == 0 ? 0 : cellEnds_[index - 1]; }

    // Makes room for at least `units` more code units.
    void grow(size_t units);
    void reallocate(size_t capacity);
    std::u16string_view text() const { return {text_.get(), textSize_}; }

    // The cells' text; the room beyond textSize_ is not initialised.
    std::unique_ptr<char16_t[]> text_;
    size_t textSize_ = 0;
    size_t textCapacity_ = 0;
    std::vector<size_t> cellEnds_;  // per cell, the end of its text
    std::vector<size_t> rowEnds_;   // per row, the end of its cells in cellEnds_
};

inline std::u16string_view TableRow::operator[](size_t cell) const {
    return table_->cellAt(firstCell_ + cell);
}

inline size_t TableRow::textSize() const {
    return empty() ? 0 : table_->cellEnds_[endCell_ - 1] - table_->cellStart(firstCell_);
}

struct CellAt {
    std::u16string_view operator()(const Table& table, size_t cell) const {
        return table.cellAt(cell);
    }
};

struct RowAt {
    TableRow operator()(const Table& table, size_t row) const { return table[row]; }
};

// The table as rows of quoted cells, for test failure messages.
std::ostream& operator<<(std::ostream& out, const Table& table);

}  // namespace gridmint
