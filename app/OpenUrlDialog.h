// The Open URL sheet: one field for a web address or a local path. Open accepts, Cancel or
// Escape rejects; the field keeps its text from one showing to the next. It hands over the
// typed text and does nothing with it.
#pragma once

#include <QDialog>
#include <memory>

class QLineEdit;

namespace Ui {
class OpenUrlDialog;
}

namespace gridmint {

class OpenUrlDialog : public QDialog {
    Q_OBJECT
  public:
    explicit OpenUrlDialog(QWidget* parent = nullptr);
    ~OpenUrlDialog() override;

    // The text typed into the field, possibly empty.
    QString address() const;
    void setAddress(const QString& address);
    // Shows the sheet with the field's text selected, ready to be typed over.
    void showForInput();

    QLineEdit* urlField() const;

  private:
    std::unique_ptr<Ui::OpenUrlDialog> ui;
};

}  // namespace gridmint
