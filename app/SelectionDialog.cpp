#include "SelectionDialog.h"

#include <QHeaderView>
#include <QPushButton>

#include "ui_SelectionDialog.h"

namespace gridmint {

SelectionDialog::SelectionDialog(QWidget* parent) : QDialog(parent), ui(new Ui::SelectionDialog) {
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Preview"));
    setWindowModality(Qt::WindowModal);
}

SelectionDialog::~SelectionDialog() = default;

QTableView* SelectionDialog::tableView() const {
    return ui->resultSelectionTableView;
}

void SelectionDialog::fitColumns() {
    QHeaderView* header = ui->resultSelectionTableView->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

}  // namespace gridmint
