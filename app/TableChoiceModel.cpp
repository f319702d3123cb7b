#include "TableChoiceModel.h"

#include <array>
#include <climits>

namespace gridmint {

namespace {

struct Column {
    const char* identifier;
    const char* title;
};

constexpr std::array<Column, 3> columns{{
    {"class", QT_TRANSLATE_NOOP("TableChoiceModel", "Table")},
    {"rows", QT_TRANSLATE_NOOP("TableChoiceModel", "Rows")},
    {"cols", QT_TRANSLATE_NOOP("TableChoiceModel", "Columns")},
}};

}  // namespace

TableChoiceModel::TableChoiceModel(const TableChoiceDataSource& dataSource, QObject* parent)
    : QAbstractTableModel(parent), dataSource_(dataSource) {}

QString TableChoiceModel::columnIdentifier(int column) {
    if (column < 0 || column >= static_cast<int>(columns.size())) return {};
    return QString::fromLatin1(columns[static_cast<size_t>(column)].identifier);
}

void TableChoiceModel::reloadData() {
    beginResetModel();
    endResetModel();
}

int TableChoiceModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    const long rows = dataSource_.numberOfRowsInTableView();
    return rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
}

int TableChoiceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
}

QVariant TableChoiceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    return dataSource_.objectValueForTableColumn(columnIdentifier(index.column()), index.row());
}

QVariant TableChoiceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) return tr(columns[static_cast<size_t>(section)].title);
    if (role == Qt::UserRole) return columnIdentifier(section);
    return {};
}

Qt::ItemFlags TableChoiceModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace gridmint
