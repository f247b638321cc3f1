// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tovimo::tk {
namespace {
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    const qreal s = size / 32.0;
    // Film frame: dark navy with sprocket holes along the top and bottom.
    p.fillRect(QRectF(1 * s, 4 * s, 30 * s, 24 * s), QColor(0, 0, 128));
    p.setBrush(QColor(192, 192, 192));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.drawRect(QRectF((3 + i * 5) * s, 5 * s, 2 * s, 2 * s));
        p.drawRect(QRectF((3 + i * 5) * s, 25 * s, 2 * s, 2 * s));
    }
    // Screen and play triangle.
    p.fillRect(QRectF(4 * s, 9 * s, 24 * s, 14 * s), QColor(0, 128, 128));
    QPainterPath triangle;
    triangle.moveTo(12 * s, 11 * s);
    triangle.lineTo(22 * s, 16 * s);
    triangle.lineTo(12 * s, 21 * s);
    triangle.closeSubpath();
    p.fillPath(triangle, QColor(255, 255, 0));
    return pixmap;
}
} // namespace

QIcon appIcon() {
    QIcon icon;
    icon.addPixmap(drawIcon(32));
    icon.addPixmap(drawIcon(16));
    return icon;
}

} // namespace tovimo::tk
