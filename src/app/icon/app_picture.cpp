#include "app/icon/app_picture.h"

#include <QPainter>
#include <QPainterPath>

namespace corvat {

namespace {

// A chip with its pins and a downward arrow: the program puts code into a chip.
void PaintLogo(QPainter& painter, qreal size) {
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    const QColor pin(200, 160, 40);
    const QColor body(0, 0, 128);
    painter.setPen(Qt::NoPen);
    painter.setBrush(pin);
    for (int i = 0; i < 4; ++i) {
        const qreal y = (3.5 + 2.5 * i) * unit;
        painter.drawRect(QRectF(1 * unit, y, 2.5 * unit, unit));
        painter.drawRect(QRectF(12.5 * unit, y, 2.5 * unit, unit));
    }
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(3 * unit, 2 * unit, 10 * unit, 12 * unit), unit, unit);

    QPainterPath arrow;
    arrow.moveTo(7 * unit, 4 * unit);
    arrow.lineTo(9 * unit, 4 * unit);
    arrow.lineTo(9 * unit, 8 * unit);
    arrow.lineTo(11 * unit, 8 * unit);
    arrow.lineTo(8 * unit, 12 * unit);
    arrow.lineTo(5 * unit, 8 * unit);
    arrow.lineTo(7 * unit, 8 * unit);
    arrow.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
}

QPixmap DrawLogo(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    PaintLogo(painter, size);
    return pixmap;
}

}  // namespace

QPixmap WindowIconPixmap() {
    return DrawLogo(kWindowIconSize);
}

QPixmap IconPixmap(int size) {
    return DrawLogo(size);
}

QPixmap LogoPixmap() {
    QPixmap pixmap(kLogoSize, kLogoSize);
    pixmap.fill(QColor(192, 192, 255));
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 0, DrawLogo(kLogoSize));
    return pixmap;
}

}  // namespace corvat
