// The navigator: the list of a page's tables on the left, the first rows of the selected one
// on the right (a hint while none is selected). Confirming (the Preview button, a double
// click, Return) accepts; Cancel or Escape declines. It only holds and hands over the user's
// choice: what the list and the preview show is given to it.
#pragma once

#include <QDialog>
#include <memory>

#include "Table.h"
#include "Text.h"

class QAbstractItemModel;
class QTableView;

namespace Ui {
class SelectionDialog;
}

namespace gridmint {

class TableSampleModel;

class SelectionDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SelectionDialog(QWidget* parent = nullptr);
    ~SelectionDialog() override;

    // The list of tables; the dialog does not own the model.
    void setChoiceModel(QAbstractItemModel* model);
    // The selected row, -1 when none is.
    int chosenRow() const;
    // Selects `row` (-1: clears the selection).
    void selectRow(int row);
    // Shows the first rows of `table` beside the list; null shows the hint instead.
    void showSample(const Table* table);
    bool isShowingSample() const;
    // Sizes the columns to their contents once the model holds the rows to show.
    void fitColumns();

    QTableView* tableView() const;
    QTableView* sampleView() const;

  signals:
    // The selected row changed (-1: none selected).
    void chosenRowChanged(int row);

  private:
    std::unique_ptr<Ui::SelectionDialog> ui;
    TableSampleModel* sample_;
};

}  // namespace gridmint
