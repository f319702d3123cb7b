// The model of the choice list: one row per table of the latest conversion, three columns
// identified "class", "rows" and "cols" (titled "Table", "Rows", "Columns"). It holds no data
// of its own: every count and value is asked of its data source each time, so the list
// always shows the data source's current tables.
#pragma once

#include <QAbstractTableModel>
#include <QString>

namespace gridmint {

class TableChoiceDataSource {
  public:
    virtual ~TableChoiceDataSource() = default;
    virtual long numberOfRowsInTableView() const = 0;
    // The text of the column identified `identifier` in row `row`; "" when there is none.
    virtual QString objectValueForTableColumn(const QString& identifier, long row) const = 0;
};

class TableChoiceModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TableChoiceModel(const TableChoiceDataSource& dataSource, QObject* parent = nullptr);

    // The identifier of a column ("class", "rows", "cols"); also its header's Qt::UserRole.
    static QString columnIdentifier(int column);

    // Makes every view ask the data source again for the rows and their values.
    void reloadData();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const TableChoiceDataSource& dataSource_;
};

}  // namespace gridmint
