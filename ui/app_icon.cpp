#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace tvn::ui {

QPixmap appPicture(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    // The archive box: a lid and a body with a label slot.
    const QColor box(0x2f, 0x6f, 0xa8);
    const QColor edge(0x1d, 0x46, 0x6b);
    painter.setPen(QPen(edge, 1.5));
    painter.setBrush(box.lighter(115));
    painter.drawRoundedRect(QRectF(8, 30, 48, 8), 2, 2);
    painter.setBrush(box);
    painter.drawRoundedRect(QRectF(11, 38, 42, 22), 2, 2);
    painter.setBrush(QColor(0xf4, 0xf1, 0xe8));
    painter.drawRoundedRect(QRectF(24, 43, 16, 6), 1.5, 1.5);

    // The vane: a mast with an arrow pointing the way the files go.
    painter.setPen(QPen(QColor(0x44, 0x44, 0x44), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(32, 30), QPointF(32, 8));
    QPainterPath arrow;
    arrow.moveTo(14, 14);
    arrow.lineTo(44, 14);
    arrow.lineTo(44, 10);
    arrow.lineTo(54, 16);
    arrow.lineTo(44, 22);
    arrow.lineTo(44, 18);
    arrow.lineTo(14, 18);
    arrow.lineTo(18, 16);
    arrow.closeSubpath();
    painter.setPen(QPen(QColor(0x8a, 0x4b, 0x08), 1));
    painter.setBrush(QColor(0xe0, 0x8a, 0x1e));
    painter.drawPath(arrow);
    painter.setBrush(QColor(0x44, 0x44, 0x44));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(32, 8), 2.5, 2.5);
    return picture;
}

QIcon appIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(appPicture(size));
    }
    return icon;
}

} // namespace tvn::ui
