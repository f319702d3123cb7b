// The CSV form chosen in the export panels: separator, quoting, byte-order mark, line ends
// and the formula guard, in one compact row. It only shows and hands over the choice; the
// caller stores it and writes with it.
#pragma once

#include <QWidget>
#include <memory>

#include "CsvDialect.h"

class QFileDialog;

namespace Ui {
class CsvOptionsRow;
}

namespace gridmint {

class CsvOptionsRow : public QWidget {
    Q_OBJECT
  public:
    explicit CsvOptionsRow(const CsvDialect& dialect, QWidget* parent = nullptr);
    ~CsvOptionsRow() override;

    CsvDialect dialect() const;

    // Puts the row under the file panel's own controls. The panel is made Qt's own, since a
    // platform's native panel takes no extra controls.
    static CsvOptionsRow* addTo(QFileDialog* panel, const CsvDialect& dialect);

  signals:
    void dialectChanged(const CsvDialect& dialect);

  private:
    void showDialect(const CsvDialect& dialect);

    std::unique_ptr<Ui::CsvOptionsRow> ui;
};

}  // namespace gridmint
