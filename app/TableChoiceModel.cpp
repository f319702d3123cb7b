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

TableChoiceModel::TableChoiceModel(QObject* parent) : QAbstractTableModel(parent) {}

QString TableChoiceModel::columnIdentifier(int column) {
    if (column < 0 || column >= static_cast<int>(columns.size())) return {};
    return QString::fromLatin1(columns[static_cast<size_t>(column)].identifier);
}

void TableChoiceModel::setResult(const ResultDictionary* result, const std::vector<Text>* names) {
    beginResetModel();
    result_ = result;
    names_ = names;
    endResetModel();
}

long TableChoiceModel::numberOfRows() const {
    return names_ ? static_cast<long>(names_->size()) : 0;
}

const Table* TableChoiceModel::tableAt(long row) const {
    if (!names_ || !result_ || row < 0 || row >= numberOfRows()) return nullptr;
    return result_->find((*names_)[static_cast<size_t>(row)]);
}

QString TableChoiceModel::objectValueForTableColumn(const QString& identifier, long row) const {
    const Table* table = tableAt(row);
    if (table == nullptr) return QString();
    const Table& rows = *table;
    if (identifier == u"class")
        return QString::fromStdU16String((*names_)[static_cast<size_t>(row)]);
    if (identifier == u"rows") return QString::number(static_cast<long>(rows.size()));
    if (identifier == u"cols") {
        // The first row's cells, not the widest row's.
        return rows.size() == 0 ? QString() : QString::number(static_cast<long>(rows[0].size()));
    }
    return QString();
}

int TableChoiceModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    const long rows = numberOfRows();
    return rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
}

int TableChoiceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
}

QVariant TableChoiceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    return objectValueForTableColumn(columnIdentifier(index.column()), index.row());
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
