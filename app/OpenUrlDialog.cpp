#include "OpenUrlDialog.h"

#include <QLineEdit>

#include "ui_OpenUrlDialog.h"

namespace gridmint {

OpenUrlDialog::OpenUrlDialog(QWidget* parent) : QDialog(parent), ui(new Ui::OpenUrlDialog) {
    ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
}

OpenUrlDialog::~OpenUrlDialog() = default;

QString OpenUrlDialog::address() const {
    return ui->urlField->text();
}

void OpenUrlDialog::setAddress(const QString& address) {
    ui->urlField->setText(address);
}

void OpenUrlDialog::showForInput() {
    open();
    ui->urlField->selectAll();
    ui->urlField->setFocus();
}

QLineEdit* OpenUrlDialog::urlField() const {
    return ui->urlField;
}

}  // namespace gridmint
