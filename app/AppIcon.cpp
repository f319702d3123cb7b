#include "AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace gridmint {

namespace {

// Drawn on a 64-unit square, like the SVG: a mint tile holding a white three-by-three grid
// whose top row is filled, a table with its header.
QPixmap paintIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2f, 0xa5, 0x7c));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(14, 14, 36, 10));
    painter.setPen(QPen(Qt::white, 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(14, 14, 36, 36));
    painter.drawLine(QPointF(14, 37), QPointF(50, 37));
    painter.drawLine(QPointF(26, 14), QPointF(26, 50));
    painter.drawLine(QPointF(38, 14), QPointF(38, 50));
    return pixmap;
}

}  // namespace

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) icon.addPixmap(paintIcon(size));
    return icon;
}

}  // namespace gridmint
