#include "TableSampleModel.h"

#include <algorithm>
#include <string_view>

#include "PreviewModel.h"

namespace gridmint {

TableSampleModel::TableSampleModel(QObject* parent) : QAbstractTableModel(parent) {}

void TableSampleModel::setTable(const Table* table) {
    beginResetModel();
    table_ = table;
    rows_ = 0;
    columns_ = 0;
    if (table != nullptr) {
        const Table& rows = *table;
        rows_ = static_cast<int>(std::min<size_t>(rows.size(), sampledRows));
        for (int r = 0; r < rows_; ++r) {
            columns_ = std::max(columns_, static_cast<int>(std::min<size_t>(
                                              rows[static_cast<size_t>(r)].size(), 1000)));
        }
    }
    endResetModel();
}

int TableSampleModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TableSampleModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant TableSampleModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || table_ == nullptr || role != Qt::DisplayRole) return {};
    const auto& row = (*table_)[static_cast<size_t>(index.row())];
    const auto column = static_cast<size_t>(index.column());
    if (column >= row.size()) return {};
    const std::u16string_view cell = row[column];
    return QString(reinterpret_cast<const QChar*>(cell.data()),
                   static_cast<qsizetype>(cell.size()));
}

QVariant TableSampleModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Horizontal) return columnLetters(section);
    return QString::number(section + 1);
}

}  // namespace gridmint
