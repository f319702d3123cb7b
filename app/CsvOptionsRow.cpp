#include "CsvOptionsRow.h"

#include <QFileDialog>
#include <QGridLayout>

#include "ui_CsvOptionsRow.h"

namespace gridmint {

CsvOptionsRow::CsvOptionsRow(const CsvDialect& dialect, QWidget* parent)
    : QWidget(parent), ui(new Ui::CsvOptionsRow) {
    ui->setupUi(this);
    ui->separatorBox->addItem(tr("Comma (,)"), QChar(u','));
    ui->separatorBox->addItem(tr("Semicolon (;)"), QChar(u';'));
    ui->separatorBox->addItem(tr("Tab"), QChar(u'\t'));
    ui->separatorBox->addItem(tr("Pipe (|)"), QChar(u'|'));
    ui->quotingBox->addItem(tr("Every field"), static_cast<int>(CsvQuoting::all));
    ui->quotingBox->addItem(tr("Only where needed"), static_cast<int>(CsvQuoting::minimal));
    showDialect(dialect);
    const auto changed = [this] { emit dialectChanged(this->dialect()); };
    connect(ui->separatorBox, &QComboBox::currentIndexChanged, this, changed);
    connect(ui->quotingBox, &QComboBox::currentIndexChanged, this, changed);
    for (QCheckBox* box : {ui->byteOrderMarkBox, ui->crlfBox, ui->guardFormulasBox}) {
        connect(box, &QCheckBox::toggled, this, changed);
    }
}

CsvOptionsRow::~CsvOptionsRow() = default;

void CsvOptionsRow::showDialect(const CsvDialect& dialect) {
    const int separator = ui->separatorBox->findData(QChar(char16_t(dialect.separator)));
    ui->separatorBox->setCurrentIndex(separator >= 0 ? separator : 0);
    ui->quotingBox->setCurrentIndex(ui->quotingBox->findData(static_cast<int>(dialect.quoting)));
    ui->byteOrderMarkBox->setChecked(dialect.byteOrderMark);
    ui->crlfBox->setChecked(dialect.lineEnd == CsvLineEnd::crlf);
    ui->guardFormulasBox->setChecked(dialect.guardFormulas);
}

CsvDialect CsvOptionsRow::dialect() const {
    CsvDialect dialect;
    dialect.separator = static_cast<char>(ui->separatorBox->currentData().toChar().unicode());
    dialect.quoting = static_cast<CsvQuoting>(ui->quotingBox->currentData().toInt());
    dialect.byteOrderMark = ui->byteOrderMarkBox->isChecked();
    dialect.lineEnd = ui->crlfBox->isChecked() ? CsvLineEnd::crlf : CsvLineEnd::lf;
    dialect.guardFormulas = ui->guardFormulasBox->isChecked();
    return dialect;
}

CsvOptionsRow* CsvOptionsRow::addTo(QFileDialog* panel, const CsvDialect& dialect) {
    panel->setOption(QFileDialog::DontUseNativeDialog);
    auto* row = new CsvOptionsRow(dialect, panel);
    row->setObjectName(QStringLiteral("csvOptions"));
    // Qt's own panel lays its controls out in a grid: the row takes a line of its own below
    // them, across every column.
    if (auto* grid = qobject_cast<QGridLayout*>(panel->layout())) {
        grid->addWidget(row, grid->rowCount(), 0, 1, grid->columnCount());
    } else if (panel->layout() != nullptr) {
        panel->layout()->addWidget(row);
    }
    return row;
}

}  // namespace gridmint
