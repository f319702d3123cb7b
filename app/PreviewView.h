// The preview of a CSV file in the main window: a read-only grid with row numbers and column
// letters. Each showing makes a new view, which reads the file once when it is made.
#pragma once

#include <QString>
#include <QTableView>

namespace gridmint {

class PreviewModel;

class PreviewView : public QTableView {
    Q_OBJECT
  public:
    // Reads `previewItem` (a CSV file); a file that cannot be read shows an empty grid.
    explicit PreviewView(const QString& previewItem, QWidget* parent = nullptr);

    const QString& previewItem() const { return previewItem_; }
    PreviewModel* previewModel() const { return model_; }

  private:
    void sizeColumnsToSample();

    QString previewItem_;
    PreviewModel* model_;
};

}  // namespace gridmint
