// The preview of a CSV file in the main window: a read-only grid with row numbers and column
// letters, whose cells, rows (click a row number), columns (click a letter) or all (the
// corner) can be selected and copied. Each showing makes a new view, over the records the caller
// read from the file.
#pragma once

#include <QString>
#include <QTableView>

#include "CellCopy.h"
#include "CsvReader.h"

namespace gridmint {

class PreviewModel;

class PreviewView : public QTableView {
    Q_OBJECT
  public:
    // Shows `records`, the contents of the CSV file `previewItem`, read by the caller (off the
    // interface thread, as a long table takes a while to read).
    PreviewView(const QString& previewItem, CsvRecords records, QWidget* parent = nullptr);

    const QString& previewItem() const { return previewItem_; }
    PreviewModel* previewModel() const { return model_; }

    // The selected cells as one block; the whole table when nothing is selected.
    CellBlock selectedBlock() const;
    // Puts the selection on the clipboard as tab-separated text and as an HTML table.
    void copySelection() const;
    // Puts the selection on the clipboard as CSV text.
    void copySelectionAsCsv() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void sizeColumnsToSample();

    QString previewItem_;
    PreviewModel* model_;
};

}  // namespace gridmint
