// A read-only grid over the records of a CSV file: one row per record, as many columns as
// the longest record has fields; rows are numbered from 1 and columns lettered A, B, ... Z,
// AA, AB, ... as a spreadsheet does. Texts are converted only when a cell is drawn, so a
// table of 100,000 rows opens at once.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include "CsvReader.h"

namespace gridmint {

class PreviewModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit PreviewModel(CsvRecords records, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const CsvRecords& records() const { return records_; }

  private:
    CsvRecords records_;
};

// The spreadsheet letters of a zero-based column: 0 is "A", 25 "Z", 26 "AA".
QString columnLetters(int column);

}  // namespace gridmint
