// The choice sheet: the list of a page's tables, from which the user picks the one to
// preview. Confirming (the button, a double click, Return) accepts; Cancel or Escape
// declines. The dialog only holds the user's choice: the application reads the selection.
#pragma once

#include <QDialog>
#include <memory>

class QTableView;

namespace Ui {
class SelectionDialog;
}

namespace gridmint {

class SelectionDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SelectionDialog(QWidget* parent = nullptr);
    ~SelectionDialog() override;

    QTableView* tableView() const;
    // Sizes the columns to their contents once the model holds the rows to show.
    void fitColumns();

  private:
    std::unique_ptr<Ui::SelectionDialog> ui;
};

}  // namespace gridmint
