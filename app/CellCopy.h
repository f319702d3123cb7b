// The three forms a block of preview cells is copied in: tab-separated text (what
// spreadsheets paste into cells), an HTML table (what rich editors paste), and CSV in the
// form the preview file has. Widget-free, so the forms are tested on their own.
#pragma once

#include <QByteArray>
#include <vector>

#include "CsvReader.h"

namespace gridmint {

// A rectangle of cells in records, and which of them are taken: a cell left out (or past
// its record's end) is copied as an empty field, so the block stays rectangular.
struct CellBlock {
    size_t top = 0;
    size_t left = 0;
    size_t rows = 0;
    size_t columns = 0;
    // rows × columns flags, row by row; empty when every cell of the rectangle is taken.
    std::vector<bool> taken;

    bool isTaken(size_t row, size_t column) const {
        return taken.empty() || taken[row * columns + column];
    }
};

// Rows end with "\n" between them (none after the last), fields are separated by a tab;
// a field holding a tab, a line break or a quote is quoted with its quotes doubled.
QByteArray cellsAsTabSeparated(const CsvRecords& records, const CellBlock& block);
// <table> with one <tr> per row and one <td> per cell, text escaped, UTF-8.
QByteArray cellsAsHtml(const CsvRecords& records, const CellBlock& block);
// Every field quoted, quotes doubled, "," between fields, "\n" between records.
QByteArray cellsAsCsv(const CsvRecords& records, const CellBlock& block);

}  // namespace gridmint
