// The first rows of a parsed table as a read-only grid, for the navigator's preview: it reads
// the table in place (no copy, no new scan) and converts a cell only when it is drawn.
#pragma once

#include <QAbstractTableModel>

#include "Table.h"
#include "Text.h"

namespace gridmint {

class TableSampleModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int sampledRows = 50;

    explicit TableSampleModel(QObject* parent = nullptr);

    // Shows the first rows of `table` (null: nothing), which must outlive the model or the
    // next call.
    void setTable(const Table* table);
    const Table* table() const { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    const Table* table_ = nullptr;
    int rows_ = 0;
    int columns_ = 0;  // the widest of the sampled rows
};

}  // namespace gridmint
