// The model of the choice list: one row per table of a conversion, in the order of its list
// of names, three columns identified "class", "rows" and "cols" (titled "Table", "Rows",
// "Columns"). It reads the result it is given each time a value is asked, and keeps no copy.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "ResultDictionary.h"
#include "Table.h"
#include "Text.h"

namespace gridmint {

class TableChoiceModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TableChoiceModel(QObject* parent = nullptr);

    // The identifier of a column ("class", "rows", "cols"); also its header's Qt::UserRole.
    static QString columnIdentifier(int column);

    // Shows `names` of `result` (either may be null: no rows); both must outlive the model
    // or the next call. Every view asks again for the rows and their values.
    void setResult(const ResultDictionary* result, const std::vector<Text>* names);

    long numberOfRows() const;
    // The text of the column identified `identifier` in row `row`; "" when there is none.
    QString objectValueForTableColumn(const QString& identifier, long row) const;
    // The table of row `row`, or nullptr.
    const Table* tableAt(long row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const ResultDictionary* result_ = nullptr;
    const std::vector<Text>* names_ = nullptr;
};

}  // namespace gridmint
