#include "SourceView.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMimeData>

namespace gridmint {

QUrl droppedSource(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
            if (suffix == u"html" || suffix == u"htm") return url;
        } else if (url.scheme() == u"http" || url.scheme() == u"https") {
            return url;
        }
    }
    return {};
}

SourceView::SourceView(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("sourceView"));
    setLineWrapMode(NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

bool SourceView::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasHtml() || QPlainTextEdit::canInsertFromMimeData(source);
}

void SourceView::insertFromMimeData(const QMimeData* source) {
    if (source->hasHtml()) {
        insertPlainText(source->html());
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

void SourceView::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedSource(event->mimeData()).isValid()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
}

void SourceView::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedSource(event->mimeData()).isValid()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragMoveEvent(event);
}

void SourceView::dropEvent(QDropEvent* event) {
    const QUrl source = droppedSource(event->mimeData());
    if (source.isValid()) {
        event->acceptProposedAction();
        emit sourceDropped(source);
        return;
    }
    QPlainTextEdit::dropEvent(event);
}

}  // namespace gridmint
