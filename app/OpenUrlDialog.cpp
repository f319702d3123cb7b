#include "OpenUrlDialog.h"

#include "ui_OpenUrlDialog.h"

namespace gridmint {

OpenUrlDialog::OpenUrlDialog(QWidget* parent) : QDialog(parent), ui(new Ui::OpenUrlDialog) {
    ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
}

OpenUrlDialog::~OpenUrlDialog() = default;

QLineEdit* OpenUrlDialog::urlField() const {
    return ui->urlField;
}

}  // namespace gridmint
