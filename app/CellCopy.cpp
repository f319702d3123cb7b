#include "CellCopy.h"

#include <string_view>

namespace gridmint {

namespace {

std::string_view cellText(const CsvRecords& records, const CellBlock& block, size_t row,
                          size_t column) {
    if (!block.isTaken(row, column)) return {};
    const size_t record = block.top + row;
    const size_t field = block.left + column;
    if (record >= records.recordCount() || field >= records.fieldCount(record)) return {};
    return records.field(record, field);
}

void appendQuoted(QByteArray& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// Walks the block row by row, handing each field to `field` and each separator to the
// bytes; the output's size is reserved from a first guess so it seldom grows.
template <typename WriteField>
QByteArray joinCells(const CsvRecords& records, const CellBlock& block, char separator,
                     WriteField writeField) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(block.rows * block.columns * 8));
    for (size_t row = 0; row < block.rows; ++row) {
        if (row > 0) out += '\n';
        for (size_t column = 0; column < block.columns; ++column) {
            if (column > 0) out += separator;
            writeField(out, cellText(records, block, row, column));
        }
    }
    return out;
}

}  // namespace

QByteArray cellsAsTabSeparated(const CsvRecords& records, const CellBlock& block) {
    return joinCells(records, block, '\t', [](QByteArray& out, std::string_view text) {
        if (text.find_first_of("\t\n\r\"") != std::string_view::npos) {
            appendQuoted(out, text);
        } else {
            out.append(text.data(), static_cast<qsizetype>(text.size()));
        }
    });
}

QByteArray cellsAsCsv(const CsvRecords& records, const CellBlock& block) {
    return joinCells(records, block, ',', appendQuoted);
}

QByteArray cellsAsHtml(const CsvRecords& records, const CellBlock& block) {
    QByteArray out("<table>");
    out.reserve(static_cast<qsizetype>(block.rows * block.columns * 16));
    for (size_t row = 0; row < block.rows; ++row) {
        out += "<tr>";
        for (size_t column = 0; column < block.columns; ++column) {
            out += "<td>";
            for (const char c : cellText(records, block, row, column)) {
                switch (c) {
                    case '&': out += "&amp;"; break;
                    case '<': out += "&lt;"; break;
                    case '>': out += "&gt;"; break;
                    case '"': out += "&quot;"; break;
                    default: out += c; break;
                }
            }
            out += "</td>";
        }
        out += "</tr>";
    }
    out += "</table>";
    return out;
}

}  // namespace gridmint
