#include "SelectionDialog.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>

#include "TableSampleModel.h"
#include "ui_SelectionDialog.h"

namespace gridmint {

namespace {

// A sampled column never starts wider than this, so that one long cell leaves room for others.
constexpr int widestSampleColumn = 240;

}  // namespace

SelectionDialog::SelectionDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::SelectionDialog), sample_(new TableSampleModel(this)) {
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Preview"));
    ui->tablePreview->setModel(sample_);
    ui->tablePreview->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->tablePreview->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ui->navigatorSplitter->setStretchFactor(0, 2);
    ui->navigatorSplitter->setStretchFactor(1, 3);
    setWindowModality(Qt::WindowModal);
}

SelectionDialog::~SelectionDialog() = default;

void SelectionDialog::setChoiceModel(QAbstractItemModel* model) {
    ui->resultSelectionTableView->setModel(model);
    connect(ui->resultSelectionTableView->selectionModel(), &QItemSelectionModel::selectionChanged,
            this, [this] { emit chosenRowChanged(chosenRow()); });
    // A reset of the list clears its selection without a selection signal.
    connect(model, &QAbstractItemModel::modelReset, this,
            [this] { emit chosenRowChanged(chosenRow()); });
}

int SelectionDialog::chosenRow() const {
    const QItemSelectionModel* selection = ui->resultSelectionTableView->selectionModel();
    if (selection == nullptr) return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void SelectionDialog::selectRow(int row) {
    if (row < 0) {
        ui->resultSelectionTableView->clearSelection();
    } else {
        ui->resultSelectionTableView->selectRow(row);
    }
}

void SelectionDialog::showSample(const Table* table) {
    sample_->setTable(table);
    if (table == nullptr) {
        ui->previewStack->setCurrentWidget(ui->previewHint);
        return;
    }
    QTableView* view = ui->tablePreview;
    view->horizontalHeader()->setResizeContentsPrecision(20);
    view->resizeColumnsToContents();
    for (int column = 0; column < sample_->columnCount(); ++column) {
        if (view->columnWidth(column) > widestSampleColumn) {
            view->setColumnWidth(column, widestSampleColumn);
        }
    }
    view->scrollToTop();
    ui->previewStack->setCurrentWidget(view);
}

bool SelectionDialog::isShowingSample() const {
    return ui->previewStack->currentWidget() == ui->tablePreview;
}

void SelectionDialog::fitColumns() {
    QHeaderView* header = ui->resultSelectionTableView->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

QTableView* SelectionDialog::tableView() const {
    return ui->resultSelectionTableView;
}

QTableView* SelectionDialog::sampleView() const {
    return ui->tablePreview;
}

}  // namespace gridmint
