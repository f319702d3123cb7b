#include "PreviewView.h"

#include <QFile>
#include <QHeaderView>

#include "CsvReader.h"
#include "PreviewModel.h"

namespace gridmint {

namespace {

CsvRecords readCsvFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return readCsv(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

// Column widths are measured on the first rows only, so a long table opens as fast as a
// short one; a column never starts wider than this.
constexpr int sampledRows = 200;
constexpr int widestColumn = 320;

}  // namespace

PreviewView::PreviewView(const QString& previewItem, QWidget* parent)
    : QTableView(parent),
      previewItem_(previewItem),
      model_(new PreviewModel(readCsvFile(previewItem), this)) {
    setObjectName(QStringLiteral("previewView"));
    setModel(model_);
    setEditTriggers(NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(true);
    // Every row has the same height, so scrolling never measures rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sizeColumnsToSample();
}

void PreviewView::sizeColumnsToSample() {
    horizontalHeader()->setResizeContentsPrecision(sampledRows);
    resizeColumnsToContents();
    for (int column = 0; column < model_->columnCount(); ++column) {
        if (columnWidth(column) > widestColumn) setColumnWidth(column, widestColumn);
    }
}

}  // namespace gridmint
