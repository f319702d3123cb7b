#include "PreviewModel.h"

#include <algorithm>
#include <climits>

namespace gridmint {

namespace {

// Qt counts rows and columns in int; a larger file shows its first INT_MAX records.
int clampToInt(size_t n) {
    return static_cast<int>(std::min<size_t>(n, INT_MAX));
}

}  // namespace

PreviewModel::PreviewModel(CsvRecords records, QObject* parent)
    : QAbstractTableModel(parent), records_(std::move(records)) {}

int PreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : clampToInt(records_.recordCount());
}

int PreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : clampToInt(records_.maxFieldCount());
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    const auto row = static_cast<size_t>(index.row());
    const auto column = static_cast<size_t>(index.column());
    // A short record leaves the cells past its end empty (no value), unlike an empty field.
    if (row >= records_.recordCount() || column >= records_.fieldCount(row)) return {};
    const std::string& text = records_.field(row, column);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Horizontal) return columnLetters(section);
    return QString::number(section + 1);
}

Qt::ItemFlags PreviewModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString columnLetters(int column) {
    QString letters;
    // Bijective base 26: there is no zero digit, so "Z" is followed by "AA".
    for (long n = static_cast<long>(column) + 1; n > 0; n = (n - 1) / 26) {
        letters.prepend(QChar(u'A' + static_cast<char16_t>((n - 1) % 26)));
    }
    return letters;
}

}  // namespace gridmint
