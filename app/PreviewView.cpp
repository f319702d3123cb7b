#include "PreviewView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <algorithm>
#include <climits>

#include "CsvReader.h"
#include "PreviewModel.h"

namespace gridmint {

namespace {

// Column widths are measured on the first rows only, so a long table opens as fast as a
// short one; a column never starts wider than this.
constexpr int sampledRows = 200;
constexpr int widestColumn = 320;

}  // namespace

PreviewView::PreviewView(const QString& previewItem, CsvRecords records, QWidget* parent)
    : QTableView(parent),
      previewItem_(previewItem),
      model_(new PreviewModel(std::move(records), this)) {
    setObjectName(QStringLiteral("previewView"));
    setModel(model_);
    setEditTriggers(NoEditTriggers);
    setWordWrap(false);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectItems);
    setAlternatingRowColors(true);
    // Every row has the same height, so scrolling never measures rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sizeColumnsToSample();
}

CellBlock PreviewView::selectedBlock() const {
    const CsvRecords& records = model_->records();
    CellBlock block;
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty()) {
        block.rows = records.recordCount();
        block.columns = records.maxFieldCount();
        return block;
    }
    int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
    for (const QItemSelectionRange& range : selection) {
        top = std::min(top, range.top());
        left = std::min(left, range.left());
        bottom = std::max(bottom, range.bottom());
        right = std::max(right, range.right());
    }
    block.top = static_cast<size_t>(top);
    block.left = static_cast<size_t>(left);
    block.rows = static_cast<size_t>(bottom - top + 1);
    block.columns = static_cast<size_t>(right - left + 1);
    // Several ranges (cells picked with Ctrl) leave holes in their bounding rectangle.
    if (selection.size() > 1) {
        block.taken.assign(block.rows * block.columns, false);
        for (const QItemSelectionRange& range : selection) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                for (int column = range.left(); column <= range.right(); ++column) {
                    block.taken[static_cast<size_t>(row - top) * block.columns +
                                static_cast<size_t>(column - left)] = true;
                }
            }
        }
    }
    return block;
}

void PreviewView::copySelection() const {
    const CellBlock block = selectedBlock();
    auto* mime = new QMimeData;
    mime->setText(QString::fromUtf8(cellsAsTabSeparated(model_->records(), block)));
    mime->setHtml(QString::fromUtf8(cellsAsHtml(model_->records(), block)));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void PreviewView::copySelectionAsCsv() const {
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(cellsAsCsv(model_->records(), selectedBlock())));
}

void PreviewView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void PreviewView::sizeColumnsToSample() {
    horizontalHeader()->setResizeContentsPrecision(sampledRows);
    resizeColumnsToContents();
    for (int column = 0; column < model_->columnCount(); ++column) {
        if (columnWidth(column) > widestColumn) setColumnWidth(column, widestColumn);
    }
}

}  // namespace gridmint
