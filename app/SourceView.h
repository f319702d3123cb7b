// The main text view that holds the HTML source. Pasting prefers the clipboard's HTML over its
// plain text (a table copied in a browser pastes as markup, ready to extract), and a dropped
// HTML file or web address is handed on to be opened instead of being inserted as text.
#pragma once

#include <QPlainTextEdit>
#include <QUrl>

class QMimeData;

namespace gridmint {

// The file or web address that a drag carries and that Gridmint can open: a local file named
// .html or .htm, or an http or https address. An invalid QUrl when the drag carries neither.
QUrl droppedSource(const QMimeData* mime);

class SourceView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit SourceView(QWidget* parent = nullptr);

  signals:
    void sourceDropped(const QUrl& source);

  protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace gridmint
